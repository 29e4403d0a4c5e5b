#include "widgets/GlassStyle.h"

#include "widgets/AppTheme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QStyleOptionButton>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct GlassLook {
    QColor fill;
    QColor stroke;
    QColor shadow; // invalid: no shadow
    qreal shadowRadius = 0;
    qreal shadowOffsetY = 0;
};

GlassLook lookFor(GlassSurface::Kind kind, const QColor& tint, bool active)
{
    switch (kind) {
    case GlassSurface::Kind::card:
        return {AppTheme::glassBg(), AppTheme::glassBorder(), AppTheme::glassShadow(), 8, 4};
    case GlassSurface::Kind::tinted:
        return {AppTheme::withAlpha(tint, 0.1), AppTheme::withAlpha(tint, 0.25), QColor(), 0, 0};
    case GlassSurface::Kind::conditional:
        if (active)
            return {AppTheme::withAlpha(tint, 0.15), AppTheme::withAlpha(tint, 0.4), AppTheme::withAlpha(tint, 0.25), 6,
                    3};
        return {AppTheme::glassBg(), AppTheme::glassBorder(), AppTheme::glassShadow(), 6, 3};
    }
    return {};
}

QPainterPath roundedShape(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    const qreal r = std::min(radius, std::min(rect.width(), rect.height()) / 2);
    if (r <= 0)
        path.addRect(rect);
    else
        path.addRoundedRect(rect, r, r);
    return path;
}

// Signed distance from `p` to a rounded rectangle (negative inside).
qreal roundedRectDistance(const QPointF& p, const QRectF& rect, qreal radius)
{
    const qreal r = std::clamp(radius, qreal(0), std::min(rect.width(), rect.height()) / 2);
    const QPointF c = rect.center();
    const qreal qx = std::abs(p.x() - c.x()) - (rect.width() / 2 - r);
    const qreal qy = std::abs(p.y() - c.y()) - (rect.height() / 2 - r);
    const qreal outside = std::hypot(std::max<qreal>(qx, 0), std::max<qreal>(qy, 0));
    return outside + std::min<qreal>(std::max(qx, qy), 0) - r;
}

// 1 well inside the margin's inner edge, 0 at the widget's edge: the shadow fades out
// instead of being cut off where the widget ends.
qreal edgeFade(qreal position, qreal outerStart, qreal innerStart, qreal innerEnd, qreal outerEnd)
{
    qreal t = 1;
    if (position < innerStart)
        t = innerStart > outerStart ? (position - outerStart) / (innerStart - outerStart) : 0;
    else if (position > innerEnd)
        t = outerEnd > innerEnd ? (outerEnd - position) / (outerEnd - innerEnd) : 0;
    t = std::clamp<qreal>(t, 0, 1);
    return t * t * (3 - 2 * t);
}

// The shadow of the shape as the platform casts it: the shape moved down and blurred
// (a Gaussian whose spread is half the radius), visible only outside the shape, so a
// translucent fill never shows a dark slab through it. Rendered once per size and look.
QPixmap shadowPixmap(const QSizeF& outerSize, const QRectF& shape, qreal cornerRadius, const GlassLook& look, qreal dpr)
{
    const QSize pixels(static_cast<int>(std::ceil(outerSize.width() * dpr)),
                       static_cast<int>(std::ceil(outerSize.height() * dpr)));
    if (pixels.isEmpty())
        return {};
    const QString key = QStringLiteral("rackhand-glass-shadow:%1x%2:%3,%4,%5x%6:r%7:b%8:y%9:c%10:d%11")
                            .arg(pixels.width())
                            .arg(pixels.height())
                            .arg(shape.x())
                            .arg(shape.y())
                            .arg(shape.width())
                            .arg(shape.height())
                            .arg(cornerRadius)
                            .arg(look.shadowRadius)
                            .arg(look.shadowOffsetY)
                            .arg(look.shadow.rgba64().toArgb32())
                            .arg(dpr);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const qreal sigma = std::max<qreal>(look.shadowRadius / 2, 0.5);
    const qreal alpha = look.shadow.alphaF();
    const QRectF cast = shape.translated(0, look.shadowOffsetY);
    const qreal r = std::clamp(cornerRadius, qreal(0), std::min(shape.width(), shape.height()) / 2);
    // Pixel columns that lie wholly inside the shape on rows inside it: nothing to draw there.
    const int innerFirst = static_cast<int>(std::ceil((shape.left() + r + 0.5) * dpr - 0.5));
    const int innerLast = static_cast<int>(std::floor((shape.right() - r - 0.5) * dpr - 0.5));
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const qreal py = (y + 0.5) / dpr;
        const qreal fadeY = edgeFade(py, 0, shape.top(), shape.bottom(), outerSize.height());
        const bool rowInside = py >= shape.top() + 0.5 && py <= shape.bottom() - 0.5;
        for (int x = 0; x < pixels.width(); ++x) {
            if (rowInside && x == innerFirst && innerLast >= innerFirst) {
                x = innerLast;
                continue;
            }
            const QPointF p((x + 0.5) / dpr, py);
            const qreal outsideShape = std::clamp<qreal>(roundedRectDistance(p, shape, cornerRadius) + 0.5, 0, 1);
            if (outsideShape <= 0)
                continue;
            const qreal fade = fadeY * edgeFade(p.x(), 0, shape.left(), shape.right(), outerSize.width());
            if (fade <= 0)
                continue;
            const qreal coverage =
                0.5 * std::erfc(roundedRectDistance(p, cast, cornerRadius) / (sigma * std::numbers::sqrt2));
            const qreal a = alpha * coverage * outsideShape * fade;
            const int a8 = std::clamp(static_cast<int>(std::lround(a * 255)), 0, 255);
            if (a8 > 0)
                line[x] = qPremultiply(qRgba(look.shadow.red(), look.shadow.green(), look.shadow.blue(), a8));
        }
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void paintShadow(QPainter& painter, const QRectF& outer, const QRectF& shape, qreal cornerRadius, const GlassLook& look)
{
    if (!look.shadow.isValid() || look.shadowRadius <= 0 || look.shadow.alpha() == 0)
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap shadow =
        shadowPixmap(outer.size(), shape.translated(-outer.topLeft()), cornerRadius, look, std::max<qreal>(dpr, 1));
    if (!shadow.isNull())
        painter.drawPixmap(outer.topLeft(), shadow);
}

// Room for the shadow around the shape (left/right, top, bottom).
QMargins shadowMargins(const GlassLook& look)
{
    if (!look.shadow.isValid())
        return {};
    const int side = static_cast<int>(std::ceil(look.shadowRadius / 4));
    return {side, side / 2, side, side + static_cast<int>(std::ceil(look.shadowOffsetY / 2))};
}

void paintLook(QPainter& painter, const QRectF& outer, qreal cornerRadius, const GlassLook& look)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QMargins m = shadowMargins(look);
    const QRectF shape = outer.adjusted(m.left(), m.top(), -m.right(), -m.bottom());
    paintShadow(painter, outer, shape, cornerRadius, look);
    const QPainterPath path = roundedShape(shape, cornerRadius);
    painter.fillPath(path, look.fill);
    // Hairline stroke inside the shape, so it is not clipped at the widget edge.
    QPen pen(look.stroke, 1.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(roundedShape(shape.adjusted(0.5, 0.5, -0.5, -0.5), std::max<qreal>(0, cornerRadius - 0.5)));
}

GlassSurface* wrap(QWidget* content, GlassSurface* surface)
{
    if (content) {
        auto* layout = new QHBoxLayout(surface);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(content);
    }
    return surface;
}

// The press feedback shared by both button styles: 1.0 -> 0.96 over 0.15 s, ease-in-out.
class PressScale final : public QObject {
public:
    explicit PressScale(QPushButton* button) : QObject(button), m_button(button)
    {
        m_animation.setDuration(150);
        m_animation.setEasingCurve(QEasingCurve::InOutQuad);
        connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            m_scale = v.toReal();
            m_button->update();
        });
        connect(button, &QPushButton::pressed, this, [this] { animateTo(0.96); });
        connect(button, &QPushButton::released, this, [this] { animateTo(1.0); });
    }
    qreal scale() const { return m_scale; }

private:
    void animateTo(qreal target)
    {
        m_animation.stop();
        m_animation.setStartValue(m_scale);
        m_animation.setEndValue(target);
        m_animation.start();
    }
    QPushButton* m_button;
    QVariantAnimation m_animation;
    qreal m_scale = 1.0;
};

qreal pressScaleOf(const QPushButton* button)
{
    const auto* scale = button->findChild<PressScale*>(QString(), Qt::FindDirectChildrenOnly);
    if (!scale)
        return button->isDown() ? 0.96 : 1.0;
    return scale->scale();
}

void applyScale(QPainter& painter, const QRectF& rect, qreal scale)
{
    if (qFuzzyCompare(scale, 1.0))
        return;
    const QPointF c = rect.center();
    painter.translate(c);
    painter.scale(scale, scale);
    painter.translate(-c);
}

} // namespace

void paintFocusRing(QPainter& painter, const QWidget& widget, const QRectF& rect, qreal cornerRadius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(widget.palette().color(QPalette::Highlight), 1.5));
    const qreal inset = 1.0;
    const qreal radius = std::max<qreal>(0, cornerRadius - inset);
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), radius, radius);
    painter.restore();
}

void paintGlassSurface(QPainter& painter, const QRectF& rect, GlassSurface::Kind kind, const QColor& tint, bool active,
                       qreal cornerRadius)
{
    painter.save();
    paintLook(painter, rect, cornerRadius, lookFor(kind, tint, active));
    painter.restore();
}

// --- GlassSurface ---

GlassSurface::GlassSurface(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAutoFillBackground(false);
    setContentsMargins(shadowMargins(lookFor(m_kind, m_tint, m_active)));
}

void GlassSurface::setKind(Kind kind)
{
    m_kind = kind;
    setContentsMargins(shadowMargins(lookFor(m_kind, m_tint, m_active)));
    update();
}

void GlassSurface::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void GlassSurface::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

void GlassSurface::setActive(bool active)
{
    m_active = active;
    update();
}

QColor GlassSurface::fillColor() const
{
    return lookFor(m_kind, m_tint, m_active).fill;
}
QColor GlassSurface::strokeColor() const
{
    return lookFor(m_kind, m_tint, m_active).stroke;
}
QColor GlassSurface::shadowColor() const
{
    return lookFor(m_kind, m_tint, m_active).shadow;
}
qreal GlassSurface::shadowRadius() const
{
    return lookFor(m_kind, m_tint, m_active).shadowRadius;
}
qreal GlassSurface::shadowOffsetY() const
{
    return lookFor(m_kind, m_tint, m_active).shadowOffsetY;
}

void GlassSurface::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    paintLook(painter, QRectF(rect()), m_cornerRadius, lookFor(m_kind, m_tint, m_active));
}

GlassSurface* liquidGlassCard(QWidget* content, qreal cornerRadius)
{
    auto* surface = new GlassSurface(content ? content->parentWidget() : nullptr);
    surface->setKind(GlassSurface::Kind::card);
    surface->setCornerRadius(cornerRadius);
    return wrap(content, surface);
}

GlassSurface* liquidGlassTinted(QWidget* content, const QColor& tint, qreal cornerRadius)
{
    auto* surface = new GlassSurface(content ? content->parentWidget() : nullptr);
    surface->setKind(GlassSurface::Kind::tinted);
    surface->setTint(tint);
    surface->setCornerRadius(cornerRadius);
    return wrap(content, surface);
}

GlassSurface* liquidGlassConditional(QWidget* content, bool isActive, const QColor& tint, qreal cornerRadius)
{
    auto* surface = new GlassSurface(content ? content->parentWidget() : nullptr);
    surface->setKind(GlassSurface::Kind::conditional);
    surface->setTint(tint);
    surface->setActive(isActive);
    surface->setCornerRadius(cornerRadius);
    return wrap(content, surface);
}

// --- SidebarItemButton ---

namespace {
constexpr int kSidebarPadX = 10;
constexpr int kSidebarPadY = 8;
constexpr int kPurplePadX = 12;
constexpr int kPurplePadY = 6;

QFont captionFont(const QFont& base)
{
    QFont f = base;
    if (f.pointSizeF() > 0)
        f.setPointSizeF(std::max(8.0, f.pointSizeF() * 0.85));
    else
        f.setPixelSize(std::max(9, static_cast<int>(f.pixelSize() * 0.85)));
    return f;
}

QSize paddedHint(const QPushButton& button, const QFont& font, int padX, int padY)
{
    const QFontMetrics fm(font);
    int width = fm.horizontalAdvance(button.text());
    int height = fm.height();
    if (!button.icon().isNull()) {
        width += button.iconSize().width() + 6;
        height = std::max(height, button.iconSize().height());
    }
    return {width + 2 * padX, height + 2 * padY};
}
} // namespace

SidebarItemButton::SidebarItemButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    new PressScale(this);
}

void SidebarItemButton::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QSize SidebarItemButton::sizeHint() const
{
    return paddedHint(*this, font(), kSidebarPadX, kSidebarPadY);
}

QSize SidebarItemButton::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    return {std::min(hint.width(), 2 * kSidebarPadX + fontMetrics().averageCharWidth() * 3), hint.height()};
}

void SidebarItemButton::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    const QRectF area(rect());
    applyScale(painter, area, pressScaleOf(this));
    paintGlassSurface(painter, area, GlassSurface::Kind::conditional, AppTheme::accentPurple(), m_selected, 10);
    if (hasFocus())
        paintFocusRing(painter, *this, area, 10);

    painter.setRenderHint(QPainter::Antialiasing, true);
    QRect content = rect().adjusted(kSidebarPadX, kSidebarPadY, -kSidebarPadX, -kSidebarPadY);
    if (!icon().isNull()) {
        const QSize is = iconSize();
        const QRect iconRect(content.left(), content.center().y() - is.height() / 2, is.width(), is.height());
        icon().paint(&painter, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        content.setLeft(iconRect.right() + 7);
    }
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setFont(font());
    const QString elided = fontMetrics().elidedText(text(), Qt::ElideRight, content.width());
    painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, elided);
}

// --- PurplePressButton ---

PurplePressButton::PurplePressButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(captionFont(font()));
    new PressScale(this);
}

QSize PurplePressButton::sizeHint() const
{
    return paddedHint(*this, font(), kPurplePadX, kPurplePadY);
}

QSize PurplePressButton::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    return {std::min(hint.width(), 2 * kPurplePadX + fontMetrics().averageCharWidth() * 3), hint.height()};
}

void PurplePressButton::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    const QRectF area(rect());
    applyScale(painter, area, pressScaleOf(this));
    paintGlassSurface(painter, area, GlassSurface::Kind::conditional, AppTheme::accentPurple(), isDown(), 8);
    if (hasFocus())
        paintFocusRing(painter, *this, area, 8);

    painter.setRenderHint(QPainter::Antialiasing, true);
    QRect content = rect().adjusted(kPurplePadX, kPurplePadY, -kPurplePadX, -kPurplePadY);
    QColor textColour = AppTheme::textPrimary();
    if (!isEnabled())
        textColour.setAlphaF(0.4f);
    painter.setPen(textColour);
    painter.setFont(font());
    const QFontMetrics fm(font());
    const QString elided = fm.elidedText(text(), Qt::ElideRight, content.width());
    if (!icon().isNull()) {
        const QSize is = iconSize();
        const int total = is.width() + 6 + fm.horizontalAdvance(elided);
        const int left = content.center().x() - total / 2;
        icon().paint(&painter, QRect(left, content.center().y() - is.height() / 2, is.width(), is.height()),
                     Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        painter.drawText(QRect(left + is.width() + 6, content.top(), total, content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, elided);
        return;
    }
    painter.drawText(content, Qt::AlignCenter, elided);
}
