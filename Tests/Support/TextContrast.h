#pragma once

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QGradient>
#include <QGraphicsEffect>
#include <QHash>
#include <QImage>
#include <QMenu>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QTextItem>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <utility>

/// Reads every text a window shows off its picture: the texts it paints, with where they are
/// and in what colour, and the ground each one is drawn on as the picture shows it.
///
/// The window is painted once into a recording device that keeps every drawn text (its glyphs,
/// clip, pen and opacity, and the widget painting it), and once as a picture. Each text's ground
/// is the commonest shade right around its glyphs in the picture, and its ink the pen as laid over
/// that ground. Texts the picture does not show (clipped away, covered), texts of disabled controls
/// (inactive, so exempt) and texts in the middle of a fade are left out.
namespace TextContrast {

/// The WCAG 2.1 contrast ratio of two opaque colours (1 to 21).
inline double ratio(const QColor& a, const QColor& b)
{
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const auto luminance = [&](const QColor& c) {
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

/// `top` (with its alpha times `opacity`) laid over the opaque `ground`.
inline QColor over(const QColor& top, const QColor& ground, double opacity = 1.0)
{
    const double a = top.alphaF() * opacity;
    const auto mix = [a](double t, double g) { return static_cast<float>(t * a + g * (1 - a)); };
    return QColor::fromRgbF(mix(top.redF(), ground.redF()), mix(top.greenF(), ground.greenF()),
                            mix(top.blueF(), ground.blueF()));
}

/// One text as the window shows it.
struct Reading {
    QString text;
    QString where; // the painting widget: class, object name, its parents' names
    QRect box;     // in the window
    QColor ink;    // the pen over the ground (the weakest of a gradient's colours)
    QColor ground;
    double ratio = 21;
};

inline QString describe(const Reading& reading)
{
    return QStringLiteral("\"%1\" %2 on %3 = %4:1 at %5,%6 in %7")
        .arg(reading.text.left(60), reading.ink.name(), reading.ground.name())
        .arg(reading.ratio, 0, 'f', 2)
        .arg(reading.box.x())
        .arg(reading.box.y())
        .arg(reading.where);
}

namespace detail {

struct DrawnText {
    QString text;
    QPointer<QWidget> widget;
    QPoint inWidget; // the text's centre in the painting widget
    QRect box;       // the glyphs' box in the window, with a margin
    QRegion shown;   // the part of the box the clips let through
    QImage glyphs;   // coverage of the glyphs over `box` (alpha)
    QList<QColor> inks;
    double opacity = 1;
};

class RecordingEngine final : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    std::function<void(const QPointF&, const QTextItem&, QPainter&, const QRegion&)> onText;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int) override {}
    void drawRects(const QRect*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawLines(const QLine*, int) override {}
    void drawEllipse(const QRectF&) override {}
    void drawEllipse(const QRect&) override {}
    void drawPoints(const QPointF*, int) override {}
    void drawPoints(const QPoint*, int) override {}
    void drawTextItem(const QPointF& position, const QTextItem& item) override
    {
        if (onText && painter())
            onText(position, item, *painter(), systemClip());
    }
    Type type() const override { return QPaintEngine::User; }
};

class RecordingDevice final : public QPaintDevice {
public:
    explicit RecordingDevice(QSize size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    RecordingEngine& engine() { return m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return m_size.width() * 254 / 960;
        case PdmHeightMM:
            return m_size.height() * 254 / 960;
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSize m_size;
    mutable RecordingEngine m_engine;
};

/// Which widget is painting: the receiver of the paint event being delivered.
class PaintWatcher final : public QObject {
public:
    QPointer<QWidget> current;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType())
            current = static_cast<QWidget*>(watched);
        return QObject::eventFilter(watched, event);
    }
};

inline QList<QColor> inksOf(const QPen& pen)
{
    const QBrush brush = pen.brush();
    if (const QGradient* gradient = brush.gradient()) {
        QList<QColor> colours;
        for (const QGradientStop& stop : gradient->stops())
            colours.append(stop.second);
        return colours;
    }
    return {brush.style() == Qt::NoBrush ? QColor(Qt::transparent) : brush.color()};
}

inline QString whereOf(const QWidget* widget)
{
    QString where;
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString name =
            w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
        where = where.isEmpty() ? name : name + QLatin1Char('/') + where;
        if (w->isWindow())
            break;
    }
    return where;
}

/// A text of a disabled control, or of a disabled menu item that is a command (not a line to
/// read), is inactive: its contrast is exempt.
inline bool inactive(const DrawnText& drawn)
{
    if (!drawn.widget)
        return true;
    if (!drawn.widget->isEnabled())
        return true;
    if (const auto* menu = qobject_cast<const QMenu*>(drawn.widget.data())) {
        const QAction* action = menu->actionAt(drawn.inWidget);
        return action && !action->isEnabled() && !action->property("informationLine").toBool();
    }
    return false;
}

inline QList<DrawnText> record(QWidget* window)
{
    QList<DrawnText> drawn;
    // Effects paint their widget into a picture of their own, past the recorder: paint without.
    QList<QPointer<QGraphicsEffect>> paused;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (QGraphicsEffect* effect = widget->graphicsEffect(); effect && effect->isEnabled()) {
            effect->setEnabled(false);
            paused.append(effect);
        }
    }
    PaintWatcher watcher;
    qApp->installEventFilter(&watcher);
    RecordingDevice device(window->size());
    device.engine().onText = [&](const QPointF& position, const QTextItem& item, QPainter& painter,
                                 const QRegion& systemClip) {
        if (item.text().trimmed().isEmpty())
            return;
        const QTransform transform = painter.deviceTransform();
        const QRectF local(position.x(), position.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        const QRect box = transform.mapRect(local).toAlignedRect().adjusted(-3, -2, 3, 2);
        DrawnText text;
        text.text = item.text();
        text.widget = watcher.current;
        if (text.widget)
            text.inWidget = text.widget->mapFrom(window, box.center());
        text.box = box;
        text.shown = QRegion(box);
        if (!systemClip.isEmpty())
            text.shown &= systemClip;
        if (painter.hasClipping())
            text.shown &= QRegion(transform.map(painter.clipPath()).toFillPolygon().toPolygon());
        text.glyphs = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
        text.glyphs.fill(Qt::transparent);
        {
            QPainter glyphs(&text.glyphs);
            glyphs.setRenderHints(painter.renderHints());
            glyphs.setTransform(transform * QTransform::fromTranslate(-box.x(), -box.y()));
            glyphs.setPen(Qt::black);
            glyphs.drawTextItem(position, item);
        }
        text.inks = inksOf(painter.pen());
        text.opacity = painter.opacity();
        drawn.append(std::move(text));
    };
    window->render(&device, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    qApp->removeEventFilter(&watcher);
    for (const QPointer<QGraphicsEffect>& effect : std::as_const(paused)) {
        if (effect)
            effect->setEnabled(true);
    }
    return drawn;
}

} // namespace detail

/// Every text `window` shows now, read off its picture (see the namespace's comment).
inline QList<Reading> read(QWidget* window)
{
    using namespace detail;
    const QList<DrawnText> drawn = record(window);
    const QImage picture = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QList<Reading> readings;
    for (const DrawnText& text : drawn) {
        // A text painted at part opacity is being faded in or out: it is read once at rest.
        if (inactive(text) || text.opacity < 0.99)
            continue;
        // The ground: the commonest shade right around the glyphs (shades a gradient or the
        // picture's rounding tell apart count as one), averaged.
        QHash<int, QList<QRgb>> shades;
        QList<QPoint> glyphPixels;
        const QRect box = text.box;
        const auto coverage = [&](int x, int y) {
            return x < 0 || y < 0 || x >= box.width() || y >= box.height() ? 0 : qAlpha(text.glyphs.pixel(x, y));
        };
        for (int y = 0; y < box.height(); ++y) {
            for (int x = 0; x < box.width(); ++x) {
                const QPoint at = box.topLeft() + QPoint(x, y);
                if (!picture.rect().contains(at) || !text.shown.contains(at))
                    continue;
                if (coverage(x, y) >= 200) {
                    glyphPixels.append(at);
                    continue;
                }
                bool nearGlyph = false;
                for (int dy = -1; dy <= 1 && !nearGlyph; ++dy) {
                    for (int dx = -1; dx <= 1 && !nearGlyph; ++dx)
                        nearGlyph = coverage(x + dx, y + dy) > 0;
                }
                if (nearGlyph)
                    continue;
                const QRgb pixel = picture.pixel(at);
                shades[(qRed(pixel) >> 4) << 8 | (qGreen(pixel) >> 4) << 4 | qBlue(pixel) >> 4].append(pixel);
            }
        }
        if (glyphPixels.isEmpty() || shades.isEmpty())
            continue;
        const QList<QRgb>* common = nullptr;
        for (auto it = shades.cbegin(); it != shades.cend(); ++it) {
            if (!common || it.value().size() > common->size())
                common = &it.value();
        }
        double red = 0;
        double green = 0;
        double blue = 0;
        for (const QRgb pixel : *common) {
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
        }
        const auto n = static_cast<double>(common->size());
        const QColor ground(qRound(red / n), qRound(green / n), qRound(blue / n));
        Reading reading;
        reading.text = text.text;
        reading.where = whereOf(text.widget);
        reading.box = box;
        reading.ground = ground;
        for (const QColor& ink : text.inks) {
            const QColor shown = over(ink, ground, text.opacity);
            const double r = ratio(shown, ground);
            if (r <= reading.ratio) {
                reading.ratio = r;
                reading.ink = shown;
            }
        }
        // What the picture shows of the glyphs: nothing of them where something covers the text.
        int differing = 0;
        for (const QPoint& at : std::as_const(glyphPixels)) {
            const QColor seen = QColor::fromRgb(picture.pixel(at));
            if (std::max({std::abs(seen.red() - ground.red()), std::abs(seen.green() - ground.green()),
                          std::abs(seen.blue() - ground.blue())}) > 12)
                ++differing;
        }
        const bool covered = reading.ratio >= 1.5 && differing < glyphPixels.size() / 6;
        if (!covered)
            readings.append(reading);
    }
    return readings;
}

/// The readings below `minimum`, one line each; the same text on the same ground once.
inline QStringList below(const QList<Reading>& readings, double minimum)
{
    QStringList lines;
    for (const Reading& reading : readings) {
        if (reading.ratio >= minimum)
            continue;
        const QString line = describe(reading);
        if (!lines.contains(line))
            lines.append(line);
    }
    return lines;
}

/// Where $RACKHAND_CONTRAST_PICTURES names a folder, the window's picture with every reading
/// below `minimum` framed in red goes there as `name`.png, to look at.
inline void keepPicture(QWidget* window, const QList<Reading>& readings, const QString& name, double minimum)
{
    const QString folder = qEnvironmentVariable("RACKHAND_CONTRAST_PICTURES");
    if (folder.isEmpty())
        return;
    QImage picture = window->grab().toImage();
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::red, 1));
    for (const Reading& reading : readings) {
        if (reading.ratio < minimum)
            painter.drawRect(reading.box.adjusted(0, 0, -1, -1));
    }
    painter.end();
    QDir().mkpath(folder);
    picture.save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace TextContrast
