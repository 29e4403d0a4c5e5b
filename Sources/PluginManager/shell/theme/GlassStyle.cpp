#include "GlassStyle.h"

#include "AppTheme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QVariantAnimation>

#include <cmath>

namespace {

QColor withOpacity(QColor colour, double opacity)
{
    colour.setAlphaF(static_cast<float>(opacity));
    return colour;
}

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
        return {withOpacity(tint, 0.1), withOpacity(tint, 0.25), QColor(), 0, 0};
    case GlassSurface::Kind::conditional:
        if (active)
            return {withOpacity(tint, 0.15), withOpacity(tint, 0.4), withOpacity(tint, 0.25), 6, 3};
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

// A soft shadow: a few widening, fading copies of the shape below it. The widget
// cannot paint outside itself, so the shadow lives in the surface's margins.
void paintShadow(QPainter& painter, const QRectF& shape, qreal cornerRadius, const GlassLook& look)
{
    if (!look.shadow.isValid() || look.shadowRadius <= 0)
        return;
    const int steps = 4;
    for (int i = steps; i >= 1; --i) {
        const qreal spread = look.shadowRadius * i / (2.0 * steps);
        QColor c = look.shadow;
        c.setAlphaF(static_cast<float>(look.shadow.alphaF() / (steps + 1.0)));
        painter.fillPath(roundedShape(shape.translated(0, look.shadowOffsetY / 2).adjusted(-spread / 2, -spread / 2,
                                                                                            spread / 2, spread / 2),
                                      cornerRadius + spread / 2),
                         c);
    }
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
    paintShadow(painter, shape, cornerRadius, look);
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

QColor GlassSurface::fillColor() const { return lookFor(m_kind, m_tint, m_active).fill; }
QColor GlassSurface::strokeColor() const { return lookFor(m_kind, m_tint, m_active).stroke; }
QColor GlassSurface::shadowColor() const { return lookFor(m_kind, m_tint, m_active).shadow; }
qreal GlassSurface::shadowRadius() const { return lookFor(m_kind, m_tint, m_active).shadowRadius; }
qreal GlassSurface::shadowOffsetY() const { return lookFor(m_kind, m_tint, m_active).shadowOffsetY; }

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

QSize SidebarItemButton::sizeHint() const { return paddedHint(*this, font(), kSidebarPadX, kSidebarPadY); }

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

QSize PurplePressButton::sizeHint() const { return paddedHint(*this, font(), kPurplePadX, kPurplePadY); }

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
