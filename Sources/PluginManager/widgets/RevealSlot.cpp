#include "widgets/RevealSlot.h"

#include "widgets/Motion.h"
#include "widgets/ToggleMotion.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>

#include <algorithm>

RevealSlot::RevealSlot(QWidget* content, Entrance entrance, int durationMs, QWidget* parent)
    : QWidget(parent), m_content(content), m_entrance(entrance)
{
    const bool open = !content->isHidden();
    setSizePolicy(content->sizePolicy());
    content->setParent(this);
    content->setVisible(open);
    m_motion = new ToggleMotion(durationMs, Motion::easeInOut(), open, this);
    connect(m_motion, &ToggleMotion::valueChanged, this, &RevealSlot::step);
    connect(m_motion, &ToggleMotion::settled, this, &RevealSlot::settle);
    if (!open)
        hide();
    content->installEventFilter(this);
}

bool RevealSlot::isOpen() const
{
    return m_motion->isOn();
}

bool RevealSlot::isMoving() const
{
    return m_motion->isMoving();
}

qreal RevealSlot::openness() const
{
    return m_motion->value();
}

int RevealSlot::contentTop() const
{
    return m_content->y();
}

qreal RevealSlot::contentOpacity() const
{
    if (isDrawingPicture())
        return m_motion->value();
    return m_fade ? m_fade->opacity() : 1.0;
}

QSize RevealSlot::sizeHint() const
{
    return m_content->sizeHint();
}

QSize RevealSlot::minimumSizeHint() const
{
    return m_content->minimumSizeHint();
}

bool RevealSlot::hasHeightForWidth() const
{
    return m_content->hasHeightForWidth();
}

int RevealSlot::heightForWidth(int width) const
{
    return m_content->heightForWidth(width);
}

bool RevealSlot::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_content) {
        if (event->type() == QEvent::ShowToParent)
            follow(true);
        else if (event->type() == QEvent::HideToParent)
            follow(false);
    }
    return QWidget::eventFilter(watched, event);
}

bool RevealSlot::event(QEvent* event)
{
    // The content's hints changed (the slot has no layout to notice): pass that on.
    if (event->type() == QEvent::LayoutRequest) {
        if (isMoving() && !m_content->isHidden()) {
            m_natural = naturalHeight();
            step();
        }
        updateGeometry();
    }
    return QWidget::event(event);
}

void RevealSlot::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeContent();
}

void RevealSlot::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setOpacity(m_motion->value());
    painter.drawPixmap(0, m_entrance == Entrance::slideFromTop ? height() - m_natural : 0, m_picture);
}

void RevealSlot::follow(bool shown)
{
    const bool animated = mayMove();
    if (shown) {
        m_picture = QPixmap();
        if (!isMoving())
            m_natural = naturalHeight();
        // Showing lays the parent out at once: at the height it opens from, not its full one.
        if (animated)
            setFixedHeight(qRound(m_motion->value() * m_natural));
        show();
    } else {
        // The content is hidden already, so focus and the accessible tree have moved on;
        // what closes on screen is its picture.
        fade(1.0);
        if (!isMoving())
            m_natural = m_content->height();
        if (animated)
            m_picture = m_content->grab(QRect(0, 0, m_content->width(), m_natural));
    }
    m_motion->setOn(shown, animated);
    if (isMoving())
        step();
}

void RevealSlot::step()
{
    if (!isMoving())
        return; // settle() ends it
    setFixedHeight(qRound(m_motion->value() * m_natural));
    placeContent();
    if (m_content->isHidden())
        update();
    else
        fade(m_motion->value());
}

void RevealSlot::settle()
{
    fade(1.0);
    m_picture = QPixmap();
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    if (m_motion->isOn())
        placeContent();
    else
        hide();
    updateGeometry();
    update();
}

bool RevealSlot::mayMove() const
{
    return Motion::enabled(this) && parentWidget() && parentWidget()->isVisible();
}

int RevealSlot::naturalHeight() const
{
    const int width = this->width() > 0 ? this->width() : m_content->sizeHint().width();
    const int height =
        m_content->hasHeightForWidth() ? m_content->heightForWidth(width) : m_content->sizeHint().height();
    return std::max(height, m_content->minimumSizeHint().height());
}

void RevealSlot::placeContent()
{
    if (!isMoving()) {
        m_content->setGeometry(rect());
        return;
    }
    const int top = m_entrance == Entrance::slideFromTop ? height() - m_natural : 0;
    m_content->setGeometry(0, top, width(), m_natural);
}

void RevealSlot::fade(qreal opacity)
{
    if (QGraphicsOpacityEffect* effect = Motion::wearEffect(m_content, m_fade, opacity < 1.0))
        effect->setOpacity(opacity);
}
