#include "widgets/HoverScale.h"

#include "widgets/Motion.h"
#include "widgets/ToggleMotion.h"

#include <QEvent>
#include <QGraphicsEffect>
#include <QPainter>
#include <QWidget>

/// Draws its widget scaled about the centre.
class HoverScale::Effect final : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;

    qreal scale() const { return m_scale; }
    void setScale(qreal scale)
    {
        if (scale == m_scale)
            return;
        m_scale = scale;
        updateBoundingRect();
        update();
    }

    QRectF boundingRectFor(const QRectF& rect) const override
    {
        const QPointF centre = rect.center();
        return {centre.x() - rect.width() * m_scale / 2, centre.y() - rect.height() * m_scale / 2,
                rect.width() * m_scale, rect.height() * m_scale};
    }

protected:
    void draw(QPainter* painter) override
    {
        QPoint offset;
        const QPixmap picture = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        const QPointF centre = QRectF(offset, picture.deviceIndependentSize()).center();
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->translate(centre);
        painter->scale(m_scale, m_scale);
        painter->translate(-centre);
        painter->drawPixmap(offset, picture);
        painter->restore();
    }

private:
    qreal m_scale = 1.0;
};

HoverScale::HoverScale(QWidget* widget, qreal scale, int durationMs)
    : QObject(widget), m_widget(widget), m_scale(scale),
      m_motion(new ToggleMotion(durationMs, Motion::easeInOut(), false, this))
{
    connect(m_motion, &ToggleMotion::valueChanged, this, &HoverScale::apply);
    widget->installEventFilter(this);
}

qreal HoverScale::scale() const
{
    return m_effect ? m_effect->scale() : 1.0;
}

bool HoverScale::isHovered() const
{
    return m_motion->isOn();
}

bool HoverScale::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_widget) {
        switch (event->type()) {
        case QEvent::Enter:
            m_motion->setOn(true, Motion::enabled(m_widget) && m_widget->isVisible());
            break;
        case QEvent::Leave:
        case QEvent::Hide:
            m_motion->setOn(false, Motion::enabled(m_widget) && m_widget->isVisible());
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void HoverScale::apply(qreal progress)
{
    if (Effect* effect = Motion::wearEffect(m_widget, m_effect, progress > 0))
        effect->setScale(1.0 + (m_scale - 1.0) * progress);
}
