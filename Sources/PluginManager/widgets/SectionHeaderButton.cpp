#include "widgets/SectionHeaderButton.h"

#include "widgets/AppTheme.h"
#include "widgets/ThemedLabel.h"
#include "widgets/Typography.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

/// A painted chevron, so the fold state never depends on an icon theme.
class SectionHeaderButton::Chevron final : public QWidget {
public:
    Chevron(std::function<QColor()> color, QWidget* parent) : QWidget(parent), m_color(std::move(color))
    {
        setFixedSize(14, 14);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setExpanded(bool expanded)
    {
        m_expanded = expanded;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(m_color ? m_color() : palette().color(QPalette::WindowText), 1.8);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        const QPointF c = QRectF(rect()).center();
        QPainterPath path;
        if (m_expanded) {
            path.moveTo(c.x() - 4, c.y() - 2);
            path.lineTo(c.x(), c.y() + 2);
            path.lineTo(c.x() + 4, c.y() - 2);
        } else {
            path.moveTo(c.x() - 2, c.y() - 4);
            path.lineTo(c.x() + 2, c.y());
            path.lineTo(c.x() - 2, c.y() + 4);
        }
        painter.drawPath(path);
    }

private:
    std::function<QColor()> m_color;
    bool m_expanded = false;
};

SectionHeaderButton::SectionHeaderButton(const QString& title, std::function<QColor()> chevronColor, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(title);
    setAccessibleName(title);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 6, 0, 6);
    m_layout->setSpacing(6);
    m_chevron = new Chevron(std::move(chevronColor), this);
    m_title = new ThemedLabel(title, Typography::sidebarSubheadline(), &AppTheme::textPrimary, this);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_layout->addWidget(m_chevron);
    m_layout->addWidget(m_title);
    m_layout->addStretch(1);
    setExpanded(false);
}

void SectionHeaderButton::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_chevron->setExpanded(expanded);
    setAccessibleDescription(expanded ? tr("expanded") : tr("collapsed"));
}

void SectionHeaderButton::addTrailingWidget(QWidget* widget)
{
    m_layout->addWidget(widget);
}

QString SectionHeaderButton::title() const
{
    return m_title->text();
}

QSize SectionHeaderButton::sizeHint() const
{
    return m_layout->sizeHint();
}

QSize SectionHeaderButton::minimumSizeHint() const
{
    return m_layout->minimumSize();
}

void SectionHeaderButton::paintEvent(QPaintEvent*)
{
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}
