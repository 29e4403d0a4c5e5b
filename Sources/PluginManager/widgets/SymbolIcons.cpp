#include "widgets/SymbolIcons.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

#include <memory>

// The resources live in a static library, so they are registered by hand; outside any namespace.
static void registerSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

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

QString resourcePath(const QString& symbolName)
{
    return QStringLiteral(":/symbols/%1.svg").arg(symbolName);
}

// One parsed renderer per symbol, kept for the life of the program; null for an unknown symbol.
QSvgRenderer* renderer(const QString& symbolName)
{
    static const bool registered = (registerSymbolResources(), true);
    Q_UNUSED(registered);
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    auto found = cache.constFind(symbolName);
    if (found == cache.constEnd()) {
        std::shared_ptr<QSvgRenderer> loaded;
        const QString path = resourcePath(symbolName);
        if (!symbolName.isEmpty() && QFile::exists(path)) {
            loaded = std::make_shared<QSvgRenderer>(path);
            if (!loaded->isValid())
                loaded.reset();
        }
        found = cache.insert(symbolName, loaded);
    }
    return found->get();
}

// Unknown symbol: its first letter in a circle, so something always shows.
void paintFallback(QPainter& p, const QString& symbolName, qreal size)
{
    p.scale(size / 24.0, size / 24.0);
    p.setPen(QPen(Qt::black, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 10, 10);
    const QString letter = symbolName.isEmpty() ? QStringLiteral("?") : symbolName.left(1).toUpper();
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, letter);
}

// The glyphs are black shapes; every colour is laid on here, in one place.
QImage renderSymbol(const QString& symbolName, const QColor& color, qreal side, qreal devicePixelRatio)
{
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (QSvgRenderer* svg = renderer(symbolName))
        svg->render(&p, QRectF(0, 0, side, side));
    else
        paintFallback(p, symbolName, side);
    p.resetTransform();
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), color);
    return image;
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
        const QPointF origin(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawImage(QRectF(origin, QSizeF(side, side)), renderSymbol(m_name, color, side, ratio));
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
    return renderer(symbolName) != nullptr;
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
    return QPixmap::fromImage(renderSymbol(symbolName, color, size, devicePixelRatio));
}

} // namespace SymbolIcons
