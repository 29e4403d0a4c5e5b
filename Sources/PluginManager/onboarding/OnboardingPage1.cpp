#include "onboarding/OnboardingPage1.h"

#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"

#include <QPainter>

namespace {

constexpr std::array<double, 3> kArrowPositions{0, -44, 44};
constexpr std::array<int, 3> kStepStartMs{800, 2200, 3600};
constexpr std::array<int, 3> kStepRows{1, 0, 2};
constexpr int kHighlightDelayMs = 350;
constexpr int kFlipDelayMs = 500;
constexpr int kFadeDelayMs = 1100;
constexpr int kDefaultAnimationMs = 350;

constexpr double kRowHeight = 38;
constexpr double kRowSpacing = 6;
constexpr double kListSide = 32;
constexpr double kRowPadding = 14;

} // namespace

OnboardingPage1::OnboardingPage1(OnboardingScheduler& scheduler, QWidget* parent)
    : OnboardingPage(scheduler, parent), m_plugins{{QStringLiteral("Reverb X Pro"), QStringLiteral("AU")},
                                                   {QStringLiteral("Vintage EQ"), QStringLiteral("VST3")},
                                                   {QStringLiteral("Compressor II"), QStringLiteral("AAX")}}
{
    m_shell = installShell([this](QPainter& painter, const QRectF& rect) { paintIllustration(painter, rect); });
    QWidget* canvas = m_shell->illustration();
    m_arrow = new Tween(0, canvas);
    for (bool on : std::as_const(m_toggleStates)) {
        m_knobs.append(new Tween(on ? 1 : -1, canvas));
        m_lit.append(new Tween(0, canvas));
    }
}

QString OnboardingPage1::title() const
{
    return QStringLiteral("Enable & Disable Plugins");
}

QString OnboardingPage1::description() const
{
    return QStringLiteral("Toggle any plugin on or off without uninstalling it. Disabled plugins are moved to a safe "
                          "folder — bring them back any time.");
}

double OnboardingPage1::arrowOffset() const
{
    return m_arrow->target();
}

void OnboardingPage1::onAppear()
{
    startToggleAnimation();
}

void OnboardingPage1::startToggleAnimation()
{
    if (!isInSheet())
        return;
    for (size_t k = 0; k < kStepStartMs.size(); ++k)
        later(kStepStartMs[k], [this, k] { runStep(static_cast<int>(k), kStepRows[k]); });
    later(kCycleMs, [this] { startToggleAnimation(); });
}

void OnboardingPage1::runStep(int step, int row)
{
    m_arrow->animateTo(kArrowPositions[static_cast<size_t>(step) % kArrowPositions.size()], kDefaultAnimationMs,
                       QEasingCurve::InOutQuad);
    later(kHighlightDelayMs, [this, row] { setHighlightedRow(row, 100); });
    later(kFlipDelayMs, [this, row] {
        m_toggleStates[row] = !m_toggleStates.at(row);
        m_knobs.at(row)->animateTo(m_toggleStates.at(row) ? 1 : -1, Tween::springMs(0.35), Tween::spring());
    });
    later(kFadeDelayMs, [this] { setHighlightedRow(std::nullopt, 200); });
}

void OnboardingPage1::setHighlightedRow(std::optional<int> row, int durationMs)
{
    m_highlightedRow = row;
    for (int i = 0; i < m_lit.size(); ++i)
        m_lit.at(i)->animateTo(row == i ? 1 : 0, durationMs, QEasingCurve::InOutQuad);
}

void OnboardingPage1::paintIllustration(QPainter& painter, const QRectF& rect) const
{
    const qsizetype count = m_plugins.size();
    const double listHeight = OnboardingStyle::rowLength(count, kRowHeight, kRowSpacing);
    const double top = rect.center().y() - listHeight / 2.0;
    const QRectF list(rect.left() + kListSide, top, rect.width() - 2 * kListSide, listHeight);
    for (int i = 0; i < count; ++i)
        paintRow(painter, QRectF(list.left(), top + i * (kRowHeight + kRowSpacing), list.width(), kRowHeight), i);
    // The arrow sits in the list's trailing margin, pointing at the row it moves to.
    const QPointF arrow(rect.right() - 8 - 8, rect.center().y() + m_arrow->value());
    OnboardingStyle::paintSymbol(painter, QStringLiteral("arrow.left"), arrow, 16, AppTheme::accentPurple());
}

void OnboardingPage1::paintRow(QPainter& painter, const QRectF& rect, int row) const
{
    using namespace OnboardingStyle;
    const bool on = m_toggleStates.at(row);
    const double lit = m_lit.at(row)->value();
    const QColor litFill =
        on ? AppTheme::withAlpha(AppTheme::systemGreen(), 0.12) : AppTheme::withAlpha(AppTheme::systemRed(), 0.08);
    const QColor litStroke = on ? AppTheme::withAlpha(AppTheme::systemGreen(), 0.4) : AppTheme::glassBorder();
    paintRoundedBox(painter, rect, 8, AppTheme::mix(AppTheme::glassBg(), litFill, lit),
                    AppTheme::mix(AppTheme::glassBorder(), litStroke, lit));

    const QRectF content = rect.adjusted(kRowPadding, 0, -kRowPadding, 0);
    paintSymbol(painter, QStringLiteral("puzzlepiece.extension.fill"),
                QPointF(content.left() + 9, content.center().y()), 13,
                on ? AppTheme::accentBlue() : AppTheme::textTertiary());
    const double textLeft = content.left() + 18 + 10;
    paintNameAndFormat(painter, QRectF(textLeft, rect.top(), content.right() - 32 - 10 - textLeft, rect.height()),
                       m_plugins.at(row).name, m_plugins.at(row).format,
                       on ? AppTheme::textPrimary() : AppTheme::textTertiary());

    // The switch: a 32 x 18 capsule with a 14-point knob 7 points either side of its centre.
    const QRectF track(content.right() - 32, content.center().y() - 9, 32, 18);
    paintRoundedBox(painter, track, 9, on ? AppTheme::systemGreen() : AppTheme::glassBg(), AppTheme::glassBorder());
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(track.center().x() + 7 * m_knobs.at(row)->value(), track.center().y()), 7, 7);
    painter.restore();
}
