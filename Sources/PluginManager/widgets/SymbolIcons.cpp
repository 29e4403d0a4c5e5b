#include "widgets/SymbolIcons.h"

#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QtMath>

#include <cmath>

namespace {

// Symbol name -> freedesktop icon names (tried in order, symbolic variants first).
const QHash<QString, QStringList>& themeTable()
{
    static const QHash<QString, QStringList> table{
        {"magnifyingglass", {"edit-find-symbolic", "edit-find", "system-search"}},
        {"arrow.clockwise", {"view-refresh-symbolic", "view-refresh"}},
        {"arrow.counterclockwise", {"edit-undo-symbolic", "edit-undo"}},
        {"arrow.triangle.2.circlepath", {"media-playlist-repeat-symbolic", "media-playlist-repeat"}},
        {"arrow.triangle.2.circlepath.circle.fill", {"media-playlist-repeat-symbolic", "media-playlist-repeat"}},
        {"square.and.arrow.up", {"document-send-symbolic", "document-export", "document-send"}},
        {"square.and.arrow.up.circle.fill", {"document-send-symbolic", "document-export", "document-send"}},
        {"square.and.arrow.down", {"document-save-symbolic", "document-save", "document-import"}},
        {"xmark", {"window-close-symbolic", "window-close"}},
        {"xmark.circle", {"process-stop-symbolic", "process-stop"}},
        {"xmark.circle.fill", {"edit-clear-symbolic", "edit-clear"}},
        {"checkmark", {"object-select-symbolic", "object-select"}},
        {"checkmark.circle", {"emblem-ok-symbolic", "emblem-default"}},
        {"checkmark.circle.fill", {"emblem-ok-symbolic", "emblem-default"}},
        {"checkmark.square.fill", {"checkbox-checked-symbolic", "checkbox-checked"}},
        {"checkmark.shield.fill", {"security-high-symbolic", "security-high"}},
        {"square", {"checkbox-symbolic", "checkbox"}},
        {"sparkles", {"starred-symbolic", "starred"}},
        {"waveform", {"audio-x-generic-symbolic", "audio-x-generic"}},
        {"waveform.badge.magnifyingglass", {"system-search-symbolic", "system-search"}},
        {"puzzlepiece", {"application-x-addon-symbolic", "application-x-addon"}},
        {"puzzlepiece.extension.fill", {"application-x-addon-symbolic", "application-x-addon"}},
        {"trash", {"user-trash-symbolic", "user-trash", "edit-delete"}},
        {"trash.fill", {"user-trash-full-symbolic", "user-trash-full", "edit-delete"}},
        {"trash.circle.fill", {"edit-delete-symbolic", "edit-delete"}},
        {"exclamationmark.triangle.fill", {"dialog-warning-symbolic", "dialog-warning"}},
        {"bolt.trianglebadge.exclamationmark.fill", {"dialog-warning-symbolic", "dialog-warning"}},
        {"info.circle", {"dialog-information-symbolic", "dialog-information"}},
        {"info.circle.fill", {"dialog-information-symbolic", "dialog-information"}},
        {"doc.on.doc", {"edit-copy-symbolic", "edit-copy"}},
        {"doc.fill", {"text-x-generic-symbolic", "text-x-generic"}},
        {"gear", {"emblem-system-symbolic", "preferences-system"}},
        {"clock", {"appointment-soon-symbolic", "appointment-soon"}},
        {"clock.badge.xmark", {"appointment-missed-symbolic", "appointment-missed"}},
        {"eye.fill", {"view-reveal-symbolic", "view-visible"}},
        {"eye.slash", {"view-conceal-symbolic", "view-hidden"}},
        {"list.bullet", {"view-list-symbolic", "view-list"}},
        {"music.note.list", {"audio-x-generic-symbolic", "audio-x-generic"}},
        {"arrow.up.right", {"external-link-symbolic", "go-jump"}},
        {"arrow.down.to.line", {"go-bottom-symbolic", "go-bottom"}},
        {"arrow.up.circle.fill", {"go-up-symbolic", "go-up"}},
        {"arrow.down.circle.fill", {"go-down-symbolic", "go-down"}},
        {"arrow.left", {"go-previous-symbolic", "go-previous"}},
        {"arrow.right", {"go-next-symbolic", "go-next"}},
        {"chevron.down", {"pan-down-symbolic", "go-down"}},
        {"chevron.right", {"pan-end-symbolic", "go-next"}},
        {"safari", {"web-browser-symbolic", "web-browser"}},
        {"lock.shield", {"changes-prevent-symbolic", "system-lock-screen"}},
        {"folder.fill.badge.checkmark", {"folder-symbolic", "folder"}},
        {"plus.circle", {"list-add-symbolic", "list-add"}},
        {"play.circle.fill", {"media-playback-start-symbolic", "media-playback-start"}},
        {"slider.horizontal.3", {"preferences-other-symbolic", "preferences-other"}},
        {"line.3.horizontal.decrease.circle.fill", {"view-filter-symbolic", "view-filter"}},
        {"bolt.circle.fill", {"battery-full-charging-symbolic"}},
        {"menubar.rectangle", {"window-symbolic", "window-new"}},
        {"square.stack.3d.up", {"view-paged-symbolic"}},
        {"square.stack.3d.up.fill", {"view-paged-symbolic"}},
        {"cube", {"package-x-generic-symbolic", "package-x-generic"}},
        {"w.circle", {}},
        {"hexagon", {}},
        {"diamond", {}},
    };
    return table;
}

enum class Container { none, circle, square, shield };

struct ParsedSymbol {
    QString base;
    Container container = Container::none;
    bool containerFill = false;
    bool baseFill = false;
    QString badge;
};

ParsedSymbol parse(QString name)
{
    ParsedSymbol parsed;
    if (name == QLatin1String("bolt.trianglebadge.exclamationmark.fill")) {
        parsed.base = QStringLiteral("bolt");
        parsed.baseFill = true;
        parsed.badge = QStringLiteral("exclamationmark.triangle");
        return parsed;
    }
    const qsizetype badgeAt = name.indexOf(QLatin1String(".badge."));
    if (badgeAt > 0) {
        parsed.badge = name.mid(badgeAt + 7);
        name = name.left(badgeAt);
    }
    auto strip = [&name](const char* suffix) {
        if (name.endsWith(QLatin1String(suffix)) && name.size() > qsizetype(qstrlen(suffix))) {
            name.chop(qstrlen(suffix));
            return true;
        }
        return false;
    };
    if (strip(".circle.fill")) {
        parsed.container = Container::circle;
        parsed.containerFill = true;
    } else if (strip(".square.fill")) {
        parsed.container = Container::square;
        parsed.containerFill = true;
    } else if (strip(".shield.fill")) {
        parsed.container = Container::shield;
        parsed.containerFill = true;
    } else if (strip(".circle")) {
        parsed.container = Container::circle;
    } else if (strip(".shield")) {
        parsed.container = Container::shield;
    } else if (strip(".fill")) {
        parsed.baseFill = true;
    }
    if (name.endsWith(QLatin1String(".fill"))) { // folder.fill.badge..., puzzle pieces
        name.chop(5);
        parsed.baseFill = true;
    }
    parsed.base = name;
    return parsed;
}

// Glyphs are drawn in a 24 x 24 box with a pen of 2 units.
void arrowHead(QPainterPath& path, QPointF tip, qreal angleDegrees, qreal length = 5.5)
{
    const qreal a = qDegreesToRadians(angleDegrees);
    const QPointF back(-std::cos(a) * length, -std::sin(a) * length);
    const qreal spread = qDegreesToRadians(40.0);
    auto rotate = [](QPointF p, qreal r) {
        return QPointF(p.x() * std::cos(r) - p.y() * std::sin(r), p.x() * std::sin(r) + p.y() * std::cos(r));
    };
    path.moveTo(tip + rotate(back, spread));
    path.lineTo(tip);
    path.lineTo(tip + rotate(back, -spread));
}

void arcArrow(QPainterPath& path, QPointF centre, qreal radius, qreal startDegrees, qreal sweepDegrees)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    path.arcMoveTo(box, startDegrees);
    path.arcTo(box, startDegrees, sweepDegrees);
    const qreal end = qDegreesToRadians(startDegrees + sweepDegrees);
    const QPointF tip(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
    // Tangent direction in screen coordinates (y grows downwards).
    const qreal sign = sweepDegrees > 0 ? 1 : -1;
    const qreal tangent = -(startDegrees + sweepDegrees) - sign * 90;
    arrowHead(path, tip, tangent);
}

QPolygonF regularPolygon(int sides, qreal radius, qreal rotationDegrees)
{
    QPolygonF polygon;
    for (int i = 0; i < sides; ++i) {
        const qreal a = qDegreesToRadians(rotationDegrees + 360.0 * i / sides);
        polygon << QPointF(12 + radius * std::cos(a), 12 + radius * std::sin(a));
    }
    return polygon;
}

void fourPointStar(QPainterPath& path, QPointF c, qreal r)
{
    const qreal k = r * 0.28;
    path.moveTo(c.x(), c.y() - r);
    path.quadTo(c.x() + k, c.y() - k, c.x() + r, c.y());
    path.quadTo(c.x() + k, c.y() + k, c.x(), c.y() + r);
    path.quadTo(c.x() - k, c.y() + k, c.x() - r, c.y());
    path.quadTo(c.x() - k, c.y() - k, c.x(), c.y() - r);
    path.closeSubpath();
}

// Draws one base glyph; returns false when the name is unknown. One flat branch per glyph.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool drawBase(QPainter& p, const QString& base, bool fill)
{
    QPainterPath stroke;
    QPainterPath solid;
    const QBrush brush = p.pen().brush();
    auto finish = [&]() {
        p.save();
        p.setBrush(Qt::NoBrush);
        p.drawPath(stroke);
        p.setPen(Qt::NoPen);
        p.setBrush(brush);
        p.drawPath(solid);
        p.restore();
    };
    QPainterPath& body = fill ? solid : stroke;

    if (base == QLatin1String("checkmark")) {
        stroke.moveTo(5, 12.5);
        stroke.lineTo(10, 17.5);
        stroke.lineTo(19, 6.5);
    } else if (base == QLatin1String("xmark")) {
        stroke.moveTo(6, 6);
        stroke.lineTo(18, 18);
        stroke.moveTo(18, 6);
        stroke.lineTo(6, 18);
    } else if (base == QLatin1String("plus")) {
        stroke.moveTo(12, 5);
        stroke.lineTo(12, 19);
        stroke.moveTo(5, 12);
        stroke.lineTo(19, 12);
    } else if (base == QLatin1String("minus")) {
        stroke.moveTo(5, 12);
        stroke.lineTo(19, 12);
    } else if (base == QLatin1String("magnifyingglass")) {
        stroke.addEllipse(QPointF(10, 10), 6, 6);
        stroke.moveTo(14.5, 14.5);
        stroke.lineTo(20, 20);
    } else if (base.startsWith(QLatin1String("arrow.")) || base.startsWith(QLatin1String("chevron."))) {
        const bool chevron = base.startsWith(QLatin1String("chevron."));
        const QString dir = base.mid(base.indexOf(QLatin1Char('.')) + 1);
        if (dir == QLatin1String("counterclockwise")) {
            arcArrow(stroke, {12, 12.5}, 7, -60, -270);
        } else if (dir == QLatin1String("clockwise")) {
            arcArrow(stroke, {12, 12.5}, 7, 240, 270);
        } else if (dir == QLatin1String("triangle.2.circlepath")) {
            arcArrow(stroke, {12, 12}, 7, 160, -150);
            arcArrow(stroke, {12, 12}, 7, -20, -150);
        } else if (dir == QLatin1String("down.to.line")) {
            stroke.moveTo(12, 3);
            stroke.lineTo(12, 15);
            arrowHead(stroke, {12, 15}, 90);
            stroke.moveTo(5, 20);
            stroke.lineTo(19, 20);
        } else if (dir == QLatin1String("up.right")) {
            stroke.moveTo(6, 18);
            stroke.lineTo(18, 6);
            stroke.moveTo(9, 6);
            stroke.lineTo(18, 6);
            stroke.lineTo(18, 15);
        } else {
            static const QHash<QString, qreal> angles{{"up", -90}, {"down", 90}, {"left", 180}, {"right", 0}};
            if (!angles.contains(dir))
                return false;
            const qreal a = qDegreesToRadians(angles.value(dir));
            const QPointF d(std::cos(a), std::sin(a));
            if (chevron) {
                const QPointF tip = QPointF(12, 12) + d * 3.5;
                arrowHead(stroke, tip, angles.value(dir), 9);
            } else {
                const QPointF from = QPointF(12, 12) - d * 7;
                const QPointF to = QPointF(12, 12) + d * 7;
                stroke.moveTo(from);
                stroke.lineTo(to);
                arrowHead(stroke, to, angles.value(dir));
            }
        }
    } else if (base == QLatin1String("eye") || base == QLatin1String("eye.slash")) {
        QPainterPath eye;
        eye.moveTo(2.5, 12);
        eye.quadTo(12, 2, 21.5, 12);
        eye.quadTo(12, 22, 2.5, 12);
        eye.closeSubpath();
        if (fill) {
            QPainterPath pupil;
            pupil.addEllipse(QPointF(12, 12), 3.5, 3.5);
            solid = eye.subtracted(pupil);
            QPainterPath dot;
            dot.addEllipse(QPointF(12, 12), 2, 2);
            solid.addPath(dot);
        } else {
            stroke.addPath(eye);
            stroke.addEllipse(QPointF(12, 12), 3, 3);
        }
        if (base == QLatin1String("eye.slash")) {
            stroke.moveTo(4, 3);
            stroke.lineTo(20, 21);
        }
    } else if (base == QLatin1String("trash")) {
        stroke.moveTo(4, 6.5);
        stroke.lineTo(20, 6.5);
        stroke.moveTo(9.5, 6.5);
        stroke.lineTo(9.5, 3.5);
        stroke.lineTo(14.5, 3.5);
        stroke.lineTo(14.5, 6.5);
        QPainterPath bin;
        bin.moveTo(6, 6.5);
        bin.lineTo(7, 20.5);
        bin.lineTo(17, 20.5);
        bin.lineTo(18, 6.5);
        if (fill) {
            bin.closeSubpath();
            solid.addPath(bin);
        } else {
            stroke.addPath(bin);
            stroke.moveTo(10, 10);
            stroke.lineTo(10, 17);
            stroke.moveTo(14, 10);
            stroke.lineTo(14, 17);
        }
    } else if (base == QLatin1String("doc") || base == QLatin1String("doc.on.doc")) {
        auto page = [](QPainterPath& path, qreal x, qreal y) {
            path.moveTo(x, y);
            path.lineTo(x + 8, y);
            path.lineTo(x + 12, y + 4);
            path.lineTo(x + 12, y + 16);
            path.lineTo(x, y + 16);
            path.closeSubpath();
        };
        if (base == QLatin1String("doc")) {
            page(body, 6, 3.5);
            if (!fill) {
                stroke.moveTo(9, 11);
                stroke.lineTo(15, 11);
                stroke.moveTo(9, 15);
                stroke.lineTo(15, 15);
            }
        } else {
            stroke.moveTo(5, 16);
            stroke.lineTo(5, 3);
            stroke.lineTo(13, 3);
            page(stroke, 9, 7);
        }
    } else if (base == QLatin1String("gear")) {
        QPolygonF teeth;
        for (int i = 0; i < 16; ++i) {
            const qreal a = qDegreesToRadians(360.0 * i / 16);
            const qreal r = (i % 2 == 0) ? 9.5 : 7.2;
            teeth << QPointF(12 + r * std::cos(a), 12 + r * std::sin(a));
        }
        teeth << teeth.first();
        QPainterPath wheel;
        wheel.addPolygon(teeth);
        QPainterPath hole;
        hole.addEllipse(QPointF(12, 12), 3, 3);
        solid = wheel.subtracted(hole);
    } else if (base == QLatin1String("clock")) {
        body.addEllipse(QPointF(12, 12), 8.5, 8.5);
        if (!fill) {
            stroke.moveTo(12, 7);
            stroke.lineTo(12, 12);
            stroke.lineTo(15.5, 14);
        }
    } else if (base == QLatin1String("bolt")) {
        QPolygonF bolt{{13.5, 2}, {5, 13.5}, {11, 13.5}, {9.5, 22}, {19, 10}, {13, 10}, {13.5, 2}};
        body.addPolygon(bolt);
        body.closeSubpath();
    } else if (base == QLatin1String("info")) {
        solid.addEllipse(QPointF(12, 6.5), 1.6, 1.6);
        stroke.moveTo(12, 10.5);
        stroke.lineTo(12, 18.5);
    } else if (base == QLatin1String("exclamationmark")) {
        stroke.moveTo(12, 4.5);
        stroke.lineTo(12, 14.5);
        solid.addEllipse(QPointF(12, 19), 1.6, 1.6);
    } else if (base == QLatin1String("exclamationmark.triangle")) {
        QPainterPath triangle;
        triangle.addPolygon(QPolygonF{{12, 2.5}, {22, 20.5}, {2, 20.5}, {12, 2.5}});
        if (fill) {
            QPainterPath mark;
            mark.addRoundedRect(QRectF(10.8, 8, 2.4, 7), 1, 1);
            mark.addEllipse(QPointF(12, 17.6), 1.4, 1.4);
            solid = triangle.subtracted(mark);
        } else {
            stroke.addPath(triangle);
            stroke.moveTo(12, 9);
            stroke.lineTo(12, 14);
            solid.addEllipse(QPointF(12, 17.3), 1.3, 1.3);
        }
    } else if (base == QLatin1String("questionmark")) {
        stroke.moveTo(8, 8.5);
        stroke.quadTo(8, 4, 12, 4);
        stroke.quadTo(16, 4, 16, 8);
        stroke.quadTo(16, 11, 12, 12.5);
        stroke.lineTo(12, 15);
        solid.addEllipse(QPointF(12, 19), 1.5, 1.5);
    } else if (base == QLatin1String("list.bullet") || base == QLatin1String("music.note.list")) {
        const bool music = base == QLatin1String("music.note.list");
        for (int i = 0; i < 3; ++i) {
            const qreal y = 6 + i * 6;
            if (!music)
                solid.addEllipse(QPointF(4.5, y), 1.6, 1.6);
            stroke.moveTo(music ? 3 : 9, y);
            stroke.lineTo(music ? (i == 2 ? 10 : 13) : 21, y);
        }
        if (music) {
            solid.addEllipse(QPointF(16, 19), 2.6, 2.1);
            stroke.moveTo(18.5, 19);
            stroke.lineTo(18.5, 6);
            stroke.lineTo(22, 7.5);
        }
    } else if (base == QLatin1String("waveform")) {
        const qreal heights[] = {4, 9, 15, 8, 12, 6, 3};
        for (int i = 0; i < 7; ++i) {
            const qreal x = 3 + i * 3;
            stroke.moveTo(x, 12 - heights[i] / 2);
            stroke.lineTo(x, 12 + heights[i] / 2);
        }
    } else if (base == QLatin1String("cube")) {
        stroke.addPolygon(QPolygonF{{12, 2.5}, {20.5, 7}, {20.5, 17}, {12, 21.5}, {3.5, 17}, {3.5, 7}, {12, 2.5}});
        stroke.moveTo(3.5, 7);
        stroke.lineTo(12, 11.5);
        stroke.lineTo(20.5, 7);
        stroke.moveTo(12, 11.5);
        stroke.lineTo(12, 21.5);
    } else if (base == QLatin1String("square")) {
        body.addRoundedRect(QRectF(4, 4, 16, 16), 3, 3);
    } else if (base == QLatin1String("hexagon")) {
        QPolygonF hexagon = regularPolygon(6, 9, -90);
        hexagon << hexagon.first();
        body.addPolygon(hexagon);
    } else if (base == QLatin1String("diamond")) {
        body.addPolygon(QPolygonF{{12, 2.5}, {21.5, 12}, {12, 21.5}, {2.5, 12}, {12, 2.5}});
    } else if (base == QLatin1String("safari")) {
        stroke.addEllipse(QPointF(12, 12), 9, 9);
        solid.addPolygon(QPolygonF{{16.5, 7.5}, {13.3, 13.3}, {10.7, 10.7}, {16.5, 7.5}});
        stroke.addPolygon(QPolygonF{{7.5, 16.5}, {10.7, 10.7}, {13.3, 13.3}, {7.5, 16.5}});
    } else if (base == QLatin1String("sparkles")) {
        fourPointStar(solid, {10, 13}, 7.5);
        fourPointStar(solid, {18.5, 5.5}, 3.5);
        fourPointStar(solid, {18.5, 18.5}, 2.8);
    } else if (base == QLatin1String("star")) {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal a = qDegreesToRadians(-90 + 36.0 * i);
            const qreal r = i % 2 == 0 ? 9.5 : 4;
            star << QPointF(12 + r * std::cos(a), 12.5 + r * std::sin(a));
        }
        star << star.first();
        body.addPolygon(star);
    } else if (base == QLatin1String("puzzlepiece") || base == QLatin1String("puzzlepiece.extension")) {
        QPainterPath piece;
        piece.addRoundedRect(QRectF(4, 7, 13, 13), 2, 2);
        piece.addEllipse(QPointF(10.5, 6), 3, 3);
        piece.addEllipse(QPointF(18, 13.5), 3, 3);
        piece = piece.simplified();
        body.addPath(piece);
    } else if (base == QLatin1String("square.and.arrow.up") || base == QLatin1String("square.and.arrow.down")) {
        const bool up = base.endsWith(QLatin1String("up"));
        stroke.moveTo(8, 9);
        stroke.lineTo(5, 9);
        stroke.lineTo(5, 21);
        stroke.lineTo(19, 21);
        stroke.lineTo(19, 9);
        stroke.lineTo(16, 9);
        stroke.moveTo(12, up ? 15 : 2.5);
        stroke.lineTo(12, up ? 2.5 : 15);
        arrowHead(stroke, {12, up ? 2.5 : 15.0}, up ? -90 : 90, 4.5);
    } else if (base == QLatin1String("square.stack.3d.up")) {
        auto layer = [](QPainterPath& path, qreal y) {
            path.moveTo(12, y);
            path.lineTo(21, y + 4.5);
            path.lineTo(12, y + 9);
            path.lineTo(3, y + 4.5);
            path.closeSubpath();
        };
        layer(body, 3);
        stroke.moveTo(3, 12);
        stroke.lineTo(12, 16.5);
        stroke.lineTo(21, 12);
        stroke.moveTo(3, 16);
        stroke.lineTo(12, 20.5);
        stroke.lineTo(21, 16);
    } else if (base == QLatin1String("folder")) {
        body.moveTo(2.5, 6);
        body.lineTo(9, 6);
        body.lineTo(11, 8);
        body.lineTo(21.5, 8);
        body.lineTo(21.5, 19);
        body.lineTo(2.5, 19);
        body.closeSubpath();
    } else if (base == QLatin1String("lock")) {
        stroke.moveTo(8.5, 11);
        stroke.lineTo(8.5, 8);
        stroke.arcTo(QRectF(8.5, 4.5, 7, 7), 180, -180);
        stroke.lineTo(15.5, 11);
        solid.addRoundedRect(QRectF(6, 11, 12, 9), 2, 2);
    } else if (base == QLatin1String("menubar.rectangle")) {
        stroke.addRoundedRect(QRectF(3, 4.5, 18, 15), 2, 2);
        solid.addRect(QRectF(3, 4.5, 18, 4));
    } else if (base == QLatin1String("slider.horizontal.3")) {
        for (int i = 0; i < 3; ++i) {
            const qreal y = 6 + i * 6;
            const qreal knob = (i == 1) ? 15 : (i == 0 ? 8 : 11);
            stroke.moveTo(3, y);
            stroke.lineTo(21, y);
            solid.addEllipse(QPointF(knob, y), 2.4, 2.4);
        }
    } else if (base == QLatin1String("line.3.horizontal.decrease")) {
        stroke.moveTo(4, 7);
        stroke.lineTo(20, 7);
        stroke.moveTo(7, 12);
        stroke.lineTo(17, 12);
        stroke.moveTo(10, 17);
        stroke.lineTo(14, 17);
    } else if (base == QLatin1String("play")) {
        solid.addPolygon(QPolygonF{{8, 5}, {19, 12}, {8, 19}, {8, 5}});
    } else if (base == QLatin1String("person")) {
        body.addEllipse(QPointF(12, 8), 4, 4);
        body.moveTo(4, 21);
        body.quadTo(12, 9, 20, 21);
        body.closeSubpath();
    } else if (base == QLatin1String("heart")) {
        body.moveTo(12, 20);
        body.cubicTo(2, 13, 3, 4, 8, 4);
        body.cubicTo(10.5, 4, 12, 6.5, 12, 7);
        body.cubicTo(12, 6.5, 13.5, 4, 16, 4);
        body.cubicTo(21, 4, 22, 13, 12, 20);
    } else if (base == QLatin1String("circle")) {
        body.addEllipse(QPointF(12, 12), 8.5, 8.5);
    } else if (base.size() == 1 && base.at(0).isLetterOrNumber()) {
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(15);
        p.save();
        p.setFont(font);
        p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, base.toUpper());
        p.restore();
    } else {
        return false;
    }
    finish();
    return true;
}

void drawContainer(QPainter& p, Container container, bool fill)
{
    QPainterPath path;
    switch (container) {
    case Container::none:
        return;
    case Container::circle:
        path.addEllipse(QPointF(12, 12), fill ? 11 : 10, fill ? 11 : 10);
        break;
    case Container::square:
        path.addRoundedRect(fill ? QRectF(1.5, 1.5, 21, 21) : QRectF(2.5, 2.5, 19, 19), 4.5, 4.5);
        break;
    case Container::shield:
        path.moveTo(12, 1.5);
        path.lineTo(21, 5);
        path.cubicTo(21, 14, 17, 19.5, 12, 22.5);
        path.cubicTo(7, 19.5, 3, 14, 3, 5);
        path.closeSubpath();
        break;
    }
    p.save();
    if (fill) {
        p.setBrush(p.pen().brush());
        p.setPen(Qt::NoPen);
    } else {
        p.setBrush(Qt::NoBrush);
    }
    p.drawPath(path);
    p.restore();
}

void paintSymbol(QPainter& p, const QString& symbolName, const QColor& color, qreal size)
{
    const ParsedSymbol parsed = parse(symbolName);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    QPen pen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);

    auto drawInner = [&](qreal scale) {
        p.save();
        p.translate(12, 12);
        p.scale(scale, scale);
        p.translate(-12, -12);
        QPen inner = p.pen();
        inner.setWidthF(2.0 / scale * (scale < 1 ? 0.8 : 1.0));
        p.setPen(inner);
        const bool known = drawBase(p, parsed.base, parsed.baseFill);
        p.restore();
        return known;
    };

    bool known = true;
    if (parsed.container == Container::none) {
        known = drawInner(parsed.badge.isEmpty() ? 1.0 : 0.85);
    } else {
        drawContainer(p, parsed.container, parsed.containerFill);
        if (parsed.containerFill) {
            // The inner glyph is cut out of the filled container.
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            QPen cut = p.pen();
            cut.setColor(Qt::black);
            p.setPen(cut);
            known = drawInner(0.58);
            p.restore();
        } else {
            known = drawInner(0.55);
        }
    }
    if (!parsed.badge.isEmpty()) {
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(18, 18), 6.5, 6.5);
        p.restore();
        p.save();
        p.translate(12, 12);
        p.scale(0.5, 0.5);
        QPen small = p.pen();
        small.setWidthF(3.0);
        p.setPen(small);
        drawBase(p, parsed.badge, false);
        p.restore();
    }
    if (!known) {
        // Unknown symbol: its first letter in a circle, so something always shows.
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 10, 10);
        const QString letter = symbolName.isEmpty() ? QStringLiteral("?") : symbolName.left(1).toUpper();
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(12);
        p.setFont(font);
        p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, letter);
        p.restore();
    }
}

// Scales cleanly to any size by painting on demand.
class GlyphEngine final : public QIconEngine {
public:
    GlyphEngine(QString name, QColor color, bool followPalette)
        : m_name(std::move(name)), m_color(color), m_followPalette(followPalette)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = m_color;
        if (m_followPalette)
            color = QGuiApplication::palette().color(QPalette::WindowText);
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.35);
        const qreal side = qMin(rect.width(), rect.height());
        painter->save();
        painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
        paintSymbol(*painter, m_name, color, side);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new GlyphEngine(m_name, m_color, m_followPalette); }
    QString key() const override { return QStringLiteral("RackhandGlyph"); }

private:
    QString m_name;
    QColor m_color;
    bool m_followPalette;
};

} // namespace

namespace SymbolIcons {

QString themeName(const QString& symbolName)
{
    const QStringList names = themeTable().value(symbolName);
    return names.isEmpty() ? QString() : names.first();
}

bool hasGlyph(const QString& symbolName)
{
    QPixmap probe(24, 24);
    probe.fill(Qt::transparent);
    QPainter painter(&probe);
    painter.scale(1, 1);
    const ParsedSymbol parsed = parse(symbolName);
    painter.setPen(QPen(Qt::black, 2));
    return drawBase(painter, parsed.base, parsed.baseFill);
}

QIcon icon(const QString& symbolName)
{
    if (!QIcon::themeName().isEmpty()) {
        for (const QString& name : themeTable().value(symbolName)) {
            if (QIcon::hasThemeIcon(name))
                return QIcon::fromTheme(name);
        }
    }
    return QIcon(new GlyphEngine(symbolName, QColor(), true));
}

QIcon tinted(const QString& symbolName, const QColor& color)
{
    return QIcon(new GlyphEngine(symbolName, color, false));
}

QPixmap pixmap(const QString& symbolName, int size, const QColor& color, qreal devicePixelRatio)
{
    QPixmap result(QSize(size, size) * devicePixelRatio);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    paintSymbol(painter, symbolName, color, size);
    return result;
}

} // namespace SymbolIcons
