#include "operations/ui/ProgressHUDView.h"

#include "operations/ProgressWindowManager.h"
#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QEasingCurve>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kFrameMs = 33; // about 30 frames a second is plenty for a status card
constexpr int kWaveStepMs = 120;
constexpr int kBarStaggerMs = 25;
constexpr int kDotStepMs = 360;
constexpr int kShimmerPeriodMs = 1100;
constexpr int kFillAnimationMs = 250;
// A fill further behind its target than this (a sixth of the bar or so) jumps to it.
constexpr double kMaxFillLag = 0.15;
constexpr int kEntranceMs = 380;
constexpr double kBarAreaHeight = 52.0;
constexpr double kStackSpacing = 16.0;

const std::array<QColor, 5> kGradientColors = {
    QColor::fromRgbF(0.85f, 0.35f, 0.65f), QColor::fromRgbF(0.62f, 0.38f, 0.92f), QColor::fromRgbF(0.38f, 0.58f, 1.0f),
    QColor::fromRgbF(0.62f, 0.38f, 0.92f), QColor::fromRgbF(0.85f, 0.35f, 0.65f)};

const std::array<QColor, ProgressHUDView::kBarCount> kBarColors = {
    QColor::fromRgbF(0.85f, 0.35f, 0.65f), QColor::fromRgbF(0.75f, 0.36f, 0.78f),
    QColor::fromRgbF(0.62f, 0.38f, 0.92f), QColor::fromRgbF(0.5f, 0.48f, 0.96f),
    QColor::fromRgbF(0.38f, 0.58f, 1.0f),  QColor::fromRgbF(0.48f, 0.5f, 0.96f),
    QColor::fromRgbF(0.62f, 0.38f, 0.92f), QColor::fromRgbF(0.72f, 0.37f, 0.85f),
    QColor::fromRgbF(0.85f, 0.35f, 0.65f), QColor::fromRgbF(0.62f, 0.38f, 0.92f),
    QColor::fromRgbF(0.38f, 0.58f, 1.0f),  QColor::fromRgbF(0.85f, 0.35f, 0.65f)};

double clamp01(double value)
{
    return std::clamp(value, 0.0, 1.0);
}

// The fonts of the card's text and their metrics.
struct CardFonts {
    QFont title = Typography::progressTitle();
    QFontMetricsF titleMetrics{title};
    QFont small = Typography::progressCount();
    QFontMetricsF smallMetrics{small};
    QFont percent = Typography::progressPercent();
    QFontMetricsF percentMetrics{percent};
};

void paintCard(QPainter& p, const QColor& primary, const QColor& window)
{
    const QRectF card(0.5, 0.5, ProgressHUDView::kWidth - 1.0, ProgressHUDView::kHeight - 1.0);
    QPainterPath cardPath;
    cardPath.addRoundedRect(card, 24, 24);
    p.fillPath(cardPath, AppTheme::withAlpha(window, 0.82));
    p.setPen(QPen(AppTheme::withAlpha(primary, 0.12), 1));
    p.drawPath(cardPath);
}

// Wave: 12 bars of 5 points, 4 apart, in a band 52 points high; `heights` are parts of the band.
void paintWave(QPainter& p, double top, const std::array<double, ProgressHUDView::kBarCount>& heights)
{
    constexpr int barCount = ProgressHUDView::kBarCount;
    const double waveWidth = barCount * 5.0 + (barCount - 1) * 4.0;
    double x = (ProgressHUDView::kWidth - waveWidth) / 2.0;
    for (int i = 0; i < barCount; ++i, x += 9.0) {
        const double h = heights[static_cast<size_t>(i)] * kBarAreaHeight;
        const QRectF bar(x, top + (kBarAreaHeight - h) / 2.0, 5.0, h);
        const QColor color = kBarColors[static_cast<size_t>(i)];
        p.setPen(Qt::NoPen);
        p.setBrush(AppTheme::withAlpha(color, 0.25)); // a soft glow in place of a blurred shadow
        p.drawRoundedRect(bar.adjusted(-2, -2, 2, 2), 4, 4);
        p.setBrush(color);
        p.drawRoundedRect(bar, 3, 3);
    }
}

// Title and count line from `y`; returns the y below them.
double paintTitle(QPainter& p, double y, const QString& label, const QString& countLine, const CardFonts& fonts,
                  const QColor& primary, const QColor& secondary)
{
    p.setFont(fonts.title);
    p.setPen(primary);
    const QString title = fonts.titleMetrics.elidedText(label, Qt::ElideRight, 320.0);
    p.drawText(QRectF(40, y, 320, fonts.titleMetrics.height()), Qt::AlignCenter, title);
    y += fonts.titleMetrics.height();
    if (!countLine.isEmpty()) {
        y += 2.0;
        p.setFont(fonts.small);
        p.setPen(secondary);
        p.drawText(QRectF(40, y, 320, fonts.smallMetrics.height()), Qt::AlignCenter, countLine);
        y += fonts.smallMetrics.height();
    }
    return y;
}

// Progress bar at `y`: track, gradient fill (at least 10 points), shine, outline. Returns the track.
QRectF paintProgressBar(QPainter& p, double y, double fillWidth, qint64 now, const QColor& primary)
{
    const double trackWidth = ProgressHUDView::kBarTrackWidth;
    const QRectF track((ProgressHUDView::kWidth - trackWidth) / 2.0, y, trackWidth, 8.0);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::withAlpha(primary, 0.07));
    p.drawRoundedRect(track, 5, 5);
    const QRectF fill(track.left(), track.top(), fillWidth, track.height());
    QLinearGradient gradient(fill.topLeft(), fill.topRight());
    for (size_t i = 0; i < kGradientColors.size(); ++i)
        gradient.setColorAt(static_cast<double>(i) / (kGradientColors.size() - 1), kGradientColors[i]);
    p.setBrush(gradient);
    p.drawRoundedRect(fill, 5, 5);
    const double shimmer = -0.4 + 1.7 * static_cast<double>(now % kShimmerPeriodMs) / kShimmerPeriodMs;
    QLinearGradient shine(QPointF(fill.left() + (shimmer - 0.2) * fill.width(), 0),
                          QPointF(fill.left() + (shimmer + 0.2) * fill.width(), 0));
    shine.setColorAt(0.0, Qt::transparent);
    shine.setColorAt(0.5, AppTheme::withAlpha(Qt::white, 0.5));
    shine.setColorAt(1.0, Qt::transparent);
    p.setBrush(shine);
    p.drawRoundedRect(fill, 5, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(AppTheme::withAlpha(primary, 0.1), 1));
    p.drawRoundedRect(track, 5, 5);
    return track;
}

// Dots and percentage at `y`, the row centred; `opacity` is the card's.
void paintPercentRow(QPainter& p, double y, const QString& percent, const CardFonts& fonts, double opacity, qint64 now,
                     const QColor& secondary)
{
    const QFontMetricsF& metrics = fonts.percentMetrics;
    const double rowWidth = 3 * 5.0 + 2 * 4.0 + 10.0 + metrics.horizontalAdvance(percent);
    double dx = (ProgressHUDView::kWidth - rowWidth) / 2.0;
    const double centerY = y + metrics.height() / 2.0;
    const int dotPhase = static_cast<int>((now / kDotStepMs) % 3);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i, dx += 9.0) {
        const bool lit = i == dotPhase;
        const double size = 5.0 * (lit ? 1.6 : 0.8);
        p.setOpacity(opacity * (lit ? 1.0 : 0.3));
        p.setBrush(kGradientColors[static_cast<size_t>(i) * 2]);
        p.drawEllipse(QPointF(dx + 2.5, centerY), size / 2.0, size / 2.0);
    }
    p.setOpacity(opacity);
    p.setFont(fonts.percent);
    p.setPen(secondary);
    p.drawText(QRectF(dx - 4.0 + 10.0, y, metrics.horizontalAdvance(percent) + 2, metrics.height()),
               Qt::AlignLeft | Qt::AlignVCenter, percent);
}

} // namespace

ProgressHUDView::ProgressHUDView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(kWidth, kHeight);
    m_clock.start();
    m_frameTimer.setInterval(kFrameMs);
    connect(&m_frameTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    m_waveTimer.setInterval(kWaveStepMs);
    connect(&m_waveTimer, &QTimer::timeout, this, &ProgressHUDView::stepWave);
}

void ProgressHUDView::setModel(ProgressHUDModel* model)
{
    for (const auto& connection : std::as_const(m_modelConnections))
        disconnect(connection);
    m_modelConnections.clear();
    m_model = model;
    if (model) {
        m_modelConnections.append(
            connect(model, &ProgressHUDModel::progressChanged, this, &ProgressHUDView::onProgressChanged));
        m_modelConnections.append(connect(model, &ProgressHUDModel::labelChanged, this, qOverload<>(&QWidget::update)));
        m_modelConnections.append(connect(model, &ProgressHUDModel::countChanged, this, qOverload<>(&QWidget::update)));
    }
    m_fillFrom = m_fillTo = model ? clamp01(model->progress()) : 0.0;
    m_fillStartMs = m_fillEndMs = m_clock.elapsed();
    restartEntrance();
    update();
}

double ProgressHUDView::fillWidth(double progress)
{
    return std::max(10.0, kBarTrackWidth * clamp01(progress));
}

QString ProgressHUDView::countText(double progress, int count)
{
    if (count < 2)
        return {};
    const auto done = static_cast<qint64>(clamp01(progress) * count);
    return tr("%1 of %2 plugins").arg(done).arg(count);
}

QString ProgressHUDView::countLine() const
{
    return m_model ? countText(m_model->progress(), m_model->count()) : QString();
}

double ProgressHUDView::shownFillWidth() const
{
    return fillWidth(displayedProgress(m_clock.elapsed()));
}

QString ProgressHUDView::percentText(double progress)
{
    return tr("%1%").arg(static_cast<qint64>(clamp01(progress) * 100.0));
}

void ProgressHUDView::restartEntrance()
{
    m_entranceStartMs = m_clock.elapsed();
    m_wavePhase = 0.0;
    for (BarMove& bar : m_bars)
        bar = BarMove{};
    if (isVisible())
        stepWave();
}

void ProgressHUDView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_lastPaintMs = m_clock.elapsed();
    m_frameTimer.start();
    m_waveTimer.start();
    stepWave();
}

void ProgressHUDView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Nothing ticks behind a closed panel.
    m_frameTimer.stop();
    m_waveTimer.stop();
}

void ProgressHUDView::stepWave()
{
    const qint64 now = m_clock.elapsed();
    for (int i = 0; i < kBarCount; ++i) {
        BarMove& bar = m_bars[static_cast<size_t>(i)];
        bar.from = barHeight(i, now);
        bar.to = (std::sin(2.0 * std::numbers::pi * i / kBarCount + m_wavePhase) * 0.5 + 0.5) * 0.8 + 0.15;
        bar.startMs = now + static_cast<qint64>(i) * kBarStaggerMs;
        bar.durationMs = 180 + QRandomGenerator::global()->bounded(141); // 0.18 to 0.32 s
    }
    m_wavePhase += 0.45;
}

double ProgressHUDView::barHeight(int index, qint64 nowMs) const
{
    const BarMove& bar = m_bars[static_cast<size_t>(index)];
    if (nowMs <= bar.startMs)
        return bar.from;
    const double t = clamp01(static_cast<double>(nowMs - bar.startMs) / static_cast<double>(bar.durationMs));
    return bar.from + (bar.to - bar.from) * QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(t);
}

void ProgressHUDView::onProgressChanged()
{
    const qint64 now = m_clock.elapsed();
    const double target = m_model ? clamp01(m_model->progress()) : 0.0;
    const double shown = displayedProgress(now);
    // An ease nobody would see only makes the bar lag behind the numbers: when the view is
    // hidden or has not been painted for an animation's length (a busy main thread paints
    // right after each update, so every frame would show the start of a fresh ease), or the
    // fill is already far behind, it goes straight to the target.
    const bool starved = !isVisible() || now - m_lastPaintMs > kFillAnimationMs;
    if (starved || std::abs(target - shown) > kMaxFillLag) {
        m_fillFrom = m_fillTo = target;
        m_fillStartMs = m_fillEndMs = now;
    } else {
        // Updates arriving during an ease retarget it without pushing its end back, so the
        // fill reaches the model at most 0.25 s after it first fell behind.
        if (now >= m_fillEndMs)
            m_fillEndMs = now + kFillAnimationMs;
        m_fillFrom = shown;
        m_fillTo = target;
        m_fillStartMs = now;
    }
    update();
}

double ProgressHUDView::displayedProgress(qint64 nowMs) const
{
    // By wall time, so a frame that comes late shows where the ease is by now.
    if (nowMs >= m_fillEndMs)
        return m_fillTo;
    const double t =
        clamp01(static_cast<double>(nowMs - m_fillStartMs) / static_cast<double>(m_fillEndMs - m_fillStartMs));
    return m_fillFrom + (m_fillTo - m_fillFrom) * QEasingCurve(QEasingCurve::OutCubic).valueForProgress(t);
}

void ProgressHUDView::paintEvent(QPaintEvent*)
{
    const qint64 now = m_clock.elapsed();
    m_lastPaintMs = now;
    const double progress = m_model ? clamp01(m_model->progress()) : 0.0;
    const QString label = m_model ? m_model->label() : QString();
    const int count = m_model ? m_model->count() : 0;

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // Entrance: a springy grow from 0.88 and a fade in.
    const double appear = QEasingCurve(QEasingCurve::OutBack)
                              .valueForProgress(clamp01(static_cast<double>(now - m_entranceStartMs) / kEntranceMs));
    const double scale = 0.88 + 0.12 * appear;
    p.setOpacity(clamp01(appear));
    p.translate(kWidth / 2.0, kHeight / 2.0);
    p.scale(scale, scale);
    p.translate(-kWidth / 2.0, -kHeight / 2.0);

    const QColor primary = palette().color(QPalette::WindowText);
    const QColor secondary = AppTheme::withAlpha(primary, 0.6);
    paintCard(p, primary, palette().color(QPalette::Window));

    // The stack (wave, text block, bar, percentage; 16 apart) is centred in the card.
    const CardFonts fonts;
    const QString countLine = countText(progress, count);
    const double countHeight = countLine.isEmpty() ? 0.0 : 2.0 + fonts.smallMetrics.height();
    const double stackHeight = kBarAreaHeight + kStackSpacing + fonts.titleMetrics.height() + countHeight +
                               kStackSpacing + 8.0 + kStackSpacing + fonts.percentMetrics.height();
    const double waveTop = std::max(22.0, (kHeight - stackHeight) / 2.0);

    std::array<double, kBarCount> heights{};
    for (int i = 0; i < kBarCount; ++i)
        heights[static_cast<size_t>(i)] = barHeight(i, now);
    paintWave(p, waveTop, heights);
    const double textBottom =
        paintTitle(p, waveTop + kBarAreaHeight + kStackSpacing, label, countLine, fonts, primary, secondary);
    const QRectF track =
        paintProgressBar(p, textBottom + kStackSpacing, fillWidth(displayedProgress(now)), now, primary);
    paintPercentRow(p, track.bottom() + kStackSpacing, percentText(progress), fonts, clamp01(appear), now, secondary);
}
