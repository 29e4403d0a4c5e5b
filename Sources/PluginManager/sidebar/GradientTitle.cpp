#include "sidebar/GradientTitle.h"

#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QConicalGradient>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace {
const QDateTime kReferenceDate(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
}

GradientTitle::GradientTitle(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    setFont(Typography::sidebarTitle());
    setAccessibleName(text);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(AppTheme::glassGlow());
    shadow->setBlurRadius(8);
    shadow->setOffset(0, 2);
    setGraphicsEffect(shadow);
    m_timer.setInterval(kFrameIntervalMs);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

double GradientTitle::rotationAt(const QDateTime& time)
{
    const double seconds = static_cast<double>(kReferenceDate.msecsTo(time)) / 1000.0;
    double phase = std::fmod(seconds, kTurnSeconds);
    if (phase < 0)
        phase += kTurnSeconds;
    return phase / kTurnSeconds * 360.0;
}

QSize GradientTitle::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text) + 4, metrics.height() + 4};
}

QSize GradientTitle::minimumSizeHint() const
{
    return sizeHint();
}

void GradientTitle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const QRectF textRect(2, 2, metrics.horizontalAdvance(m_text), metrics.height());

    // The colours turn about the middle of the text, each in a shade that reads on the sidebar.
    QConicalGradient gradient(textRect.center(), -rotationAt(QDateTime::currentDateTimeUtc()));
    const QColor ground = AppTheme::readingBackground();
    const QColor brand = AppTheme::legible(AppTheme::brandPink(), ground);
    gradient.setColorAt(0.0, brand);
    gradient.setColorAt(1.0 / 3.0, AppTheme::legible(AppTheme::accentPurple(), ground));
    gradient.setColorAt(2.0 / 3.0, AppTheme::legible(AppTheme::accentBlue(), ground));
    gradient.setColorAt(1.0, brand);
    painter.setFont(font());
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.drawText(QPointF(textRect.left(), textRect.top() + metrics.ascent()), m_text);
}

void GradientTitle::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void GradientTitle::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}
