#include "widgets/ThemedLabel.h"

#include <QEvent>
#include <QPainter>

ThemedLabel::ThemedLabel(const QString& text, const QFont& font, ColorSource color, QWidget* parent)
    : QLabel(text, parent), m_color(std::move(color))
{
    setFont(font);
    setTextFormat(Qt::PlainText);
    // Inside buttons a label would otherwise draw with the button-text role.
    setForegroundRole(QPalette::WindowText);
    applyColor();
}

void ThemedLabel::setColorSource(ColorSource color, qreal opacity)
{
    m_color = std::move(color);
    m_opacity = opacity;
    applyColor();
}

QColor ThemedLabel::textColor() const
{
    return palette().color(QPalette::WindowText);
}

void ThemedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) && !m_applying)
        applyColor();
}

void ThemedLabel::applyColor()
{
    if (!m_color)
        return;
    QColor color = m_color();
    color.setAlphaF(color.alphaF() * m_opacity);
    QPalette pal = palette();
    if (pal.color(QPalette::WindowText) == color && pal.color(QPalette::Text) == color)
        return;
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    m_applying = true;
    setPalette(pal);
    m_applying = false;
}

void ThemedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elide = mode;
    update();
}

QString ThemedLabel::shownText() const
{
    if (m_elide == Qt::ElideNone)
        return text();
    // A text that overshoots by a pixel or two (side bearings) still reads whole.
    const int width = contentsRect().width();
    if (fontMetrics().horizontalAdvance(text()) <= width + 2)
        return text();
    return fontMetrics().elidedText(text(), m_elide, width);
}

void ThemedLabel::paintEvent(QPaintEvent* event)
{
    if (m_elide == Qt::ElideNone) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, shownText());
}
