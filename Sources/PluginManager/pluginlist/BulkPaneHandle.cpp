#include "pluginlist/BulkPaneHandle.h"

#include "widgets/AppTheme.h"

#include <QMouseEvent>
#include <QPainter>

BulkPaneHandle::BulkPaneHandle(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("bulkPaneHandle"));
    setAccessibleName(QStringLiteral("Resize bulk panel"));
    setFixedHeight(12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::SizeVerCursor);
}

QSize BulkPaneHandle::sizeHint() const
{
    return {100, 12};
}

int BulkPaneHandle::clampHeight(int height)
{
    return qBound(kMinimumHeight, height, kMaximumHeight);
}

void BulkPaneHandle::setPaneHeight(int height)
{
    if (m_height == height)
        return;
    m_height = height;
    Q_EMIT paneHeightChanged(height);
}

void BulkPaneHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), AppTheme::withAlpha(AppTheme::separator(), 0.3 / 0.15 * 0.3));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::withAlpha(AppTheme::textSecondary(), 0.5));
    painter.drawRoundedRect(QRectF(width() / 2.0 - 20, height() / 2.0 - 2, 40, 4), 2, 2);
}

void BulkPaneHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_startY = event->globalPosition().y();
    m_startHeight = m_height;
}

void BulkPaneHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return QWidget::mouseMoveEvent(event);
    const qreal translation = event->globalPosition().y() - m_startY;
    if (!m_dragging && qAbs(translation) < kMinimumDragDistance)
        return;
    m_dragging = true;
    // Measured from the drag's start, so the panel edge stays under the pointer.
    setPaneHeight(clampHeight(qRound(m_startHeight - translation)));
}

void BulkPaneHandle::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
