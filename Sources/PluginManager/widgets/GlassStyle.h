#pragma once

#include <QColor>
#include <QFrame>
#include <QPushButton>
#include <QRectF>

class QPainter;

/// Translucent "glass" surfaces painted behind a widget's content: a faint fill, a
/// hairline stroke and, for cards and conditional surfaces, a soft shadow.
class GlassSurface final : public QFrame {
    Q_OBJECT
public:
    enum class Kind { card, tinted, conditional };

    explicit GlassSurface(QWidget* parent = nullptr);

    void setKind(Kind kind);
    void setCornerRadius(qreal radius);
    void setTint(const QColor& tint);
    /// For conditional surfaces: tinted while active, card-like otherwise.
    void setActive(bool active);
    Kind kind() const { return m_kind; }
    qreal cornerRadius() const { return m_cornerRadius; }
    QColor tint() const { return m_tint; }
    bool isActive() const { return m_active; }

    /// The colours the fallback draws now (for tests and for custom painters).
    QColor fillColor() const;
    QColor strokeColor() const;
    /// Invalid colour when the surface has no shadow (tinted surfaces never have one).
    QColor shadowColor() const;
    qreal shadowRadius() const;
    qreal shadowOffsetY() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind = Kind::card;
    qreal m_cornerRadius = 8;
    QColor m_tint;
    bool m_active = false;
};

/// Turns `content` into a widget laid on a glass surface (the content fills it).
GlassSurface* liquidGlassCard(QWidget* content, qreal cornerRadius);
GlassSurface* liquidGlassTinted(QWidget* content, const QColor& tint, qreal cornerRadius);
GlassSurface* liquidGlassConditional(QWidget* content, bool isActive, const QColor& tint, qreal cornerRadius);

/// Paints the glass fallback of `kind` into `rect` (custom painters: chips, delegates).
void paintGlassSurface(QPainter& painter, const QRectF& rect, GlassSurface::Kind kind, const QColor& tint, bool active,
                       qreal cornerRadius);

/// The keyboard-focus ring of a painted control: a rounded line in the palette's highlight
/// colour just inside `rect`, as the painted chips draw it.
void paintFocusRing(QPainter& painter, const QWidget& widget, const QRectF& rect, qreal cornerRadius);

/// A full-width sidebar row: padding 10/8, leading label, glass tinted purple while selected,
/// scaled to 0.96 while pressed.
class SidebarItemButton : public QPushButton {
    Q_OBJECT
public:
    explicit SidebarItemButton(const QString& text = {}, QWidget* parent = nullptr);
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_selected = false;
};

/// A small full-width button: padding 12/6, centred caption label, glass tinted purple
/// while pressed, scaled to 0.96 while pressed.
class PurplePressButton : public QPushButton {
    Q_OBJECT
public:
    explicit PurplePressButton(const QString& text = {}, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
