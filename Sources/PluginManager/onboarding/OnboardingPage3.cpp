#include "onboarding/OnboardingPage3.h"

#include "onboarding/OnboardingPageShell.h"
#include "onboarding/OnboardingStyle.h"
#include "onboarding/Tween.h"
#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QPainter>

#include <array>

namespace {

constexpr std::array<int, 4> kTickOrder{0, 2, 1, 3};
constexpr int kFirstTickMs = 600;
constexpr int kTickSpacingMs = 550;
constexpr int kFlashOnMs = 3200;
constexpr int kFlashOffMs = 3700;
constexpr int kResetMs = 5000;
constexpr int kRestartMs = 600;
constexpr int kDefaultAnimationMs = 350;

constexpr double kRowHeight = 30;
constexpr double kRowSpacing = 5;
constexpr double kSide = 32;
constexpr double kRowPadding = 14;
constexpr double kBarHeight = 30;
constexpr double kBarTop = 8;

} // namespace

OnboardingPage3::OnboardingPage3(OnboardingScheduler& scheduler, QWidget* parent)
    : OnboardingPage(scheduler, parent), m_plugins{{QStringLiteral("Reverb X Pro"), QStringLiteral("AU")},
                                                   {QStringLiteral("Vintage EQ"), QStringLiteral("VST3")},
                                                   {QStringLiteral("Compressor II"), QStringLiteral("AAX")},
                                                   {QStringLiteral("Limiter 6"), QStringLiteral("VST3")}}
{
    m_shell = installShell([this](QPainter& painter, const QRectF& rect) { paintIllustration(painter, rect); });
    QWidget* canvas = m_shell->illustration();
    for (int i = 0; i < m_plugins.size(); ++i)
        m_ticks.append(new Tween(0, canvas));
    m_bulkBar = new Tween(0, canvas);
    m_flash = new Tween(0, canvas);
}

QString OnboardingPage3::title() const
{
    return QStringLiteral("Select Mode");
}

QString OnboardingPage3::description() const
{
    return QStringLiteral(
        "Tap \"Select\" to enter Select Mode. Choose one or more plugins, then press Enter to add them "
        "to the bulk action panel — enable, disable, or delete them all at once.");
}

QString OnboardingPage3::selectedText() const
{
    return QStringLiteral("%1 selected").arg(m_checkedRows.size());
}

void OnboardingPage3::onAppear()
{
    startSelectAnimation();
}

void OnboardingPage3::onDisappear()
{
    clearSelection(false);
}

void OnboardingPage3::startSelectAnimation()
{
    if (!isInSheet())
        return;
    for (size_t k = 0; k < kTickOrder.size(); ++k)
        later(kFirstTickMs + static_cast<int>(k) * kTickSpacingMs, [this, k] { tick(kTickOrder[k]); });
    later(kFlashOnMs, [this] { setActionFlash(true); });
    later(kFlashOffMs, [this] { setActionFlash(false); });
    later(kResetMs, [this] {
        clearSelection(true);
        later(kRestartMs, [this] { startSelectAnimation(); });
    });
}

void OnboardingPage3::tick(int row)
{
    m_checkedRows.insert(row);
    m_ticks.at(row)->animateTo(1, Tween::springMs(0.25), Tween::spring());
    // Only the tick that makes two slides the bar in; later ones leave it shown.
    if (m_checkedRows.size() == 2) {
        m_showBulkBar = true;
        m_bulkBar->animateTo(1, Tween::springMs(0.35), Tween::spring());
    }
}

void OnboardingPage3::setActionFlash(bool on)
{
    m_actionFlash = on;
    m_flash->animateTo(on ? 1 : 0, 300, QEasingCurve::InOutQuad);
}

void OnboardingPage3::clearSelection(bool animated)
{
    m_checkedRows.clear();
    m_showBulkBar = false;
    for (Tween* tick : std::as_const(m_ticks)) {
        if (animated)
            tick->animateTo(0, kDefaultAnimationMs);
        else
            tick->set(0);
    }
    if (animated)
        m_bulkBar->animateTo(0, kDefaultAnimationMs);
    else
        m_bulkBar->set(0);
}

void OnboardingPage3::paintIllustration(QPainter& painter, const QRectF& rect) const
{
    const qsizetype count = m_plugins.size();
    const double listHeight = OnboardingStyle::rowLength(count, kRowHeight, kRowSpacing);
    const double top = rect.center().y() - (listHeight + kBarTop + kBarHeight) / 2.0;
    const QRectF inner = rect.adjusted(kSide, 0, -kSide, 0);
    for (int i = 0; i < count; ++i)
        paintRow(painter, QRectF(inner.left(), top + i * (kRowHeight + kRowSpacing), inner.width(), kRowHeight), i);
    const double shown = m_bulkBar->value();
    if (shown <= 0.001)
        return;
    painter.save();
    painter.setOpacity(std::clamp(shown, 0.0, 1.0));
    paintBulkBar(painter,
                 QRectF(inner.left(), top + listHeight + kBarTop + 6 * (1 - shown), inner.width(), kBarHeight));
    painter.restore();
}

void OnboardingPage3::paintRow(QPainter& painter, const QRectF& rect, int row) const
{
    using namespace OnboardingStyle;
    const double ticked = std::clamp(m_ticks.at(row)->value(), 0.0, 1.0);
    const bool on = m_checkedRows.contains(row);
    paintRoundedBox(painter, rect, 7,
                    AppTheme::mix(AppTheme::glassBg(), AppTheme::withAlpha(AppTheme::accentPurple(), 0.08), ticked),
                    AppTheme::mix(AppTheme::glassBorder(), AppTheme::withAlpha(AppTheme::accentPurple(), 0.3), ticked));
    const QRectF content = rect.adjusted(kRowPadding, 0, -kRowPadding, 0);
    // The check box: an outline, filled purple with a white tick once ticked.
    const QRectF box(content.left(), content.center().y() - 8, 16, 16);
    paintRoundedBox(painter, box, 4, AppTheme::withAlpha(AppTheme::accentPurple(), m_ticks.at(row)->value()),
                    AppTheme::mix(AppTheme::glassBorder(), AppTheme::accentPurple(), ticked), 1.5);
    if (on)
        paintSymbol(painter, QStringLiteral("checkmark"), box.center(), 10, Qt::white);
    paintSymbol(painter, QStringLiteral("puzzlepiece.extension.fill"), QPointF(box.right() + 10 + 6, box.center().y()),
                11, on ? AppTheme::accentPurple() : AppTheme::textTertiary());
    const double textLeft = box.right() + 10 + 12 + 10;
    paintNameAndFormat(painter, QRectF(textLeft, rect.top(), content.right() - textLeft, rect.height()),
                       m_plugins.at(row).name, m_plugins.at(row).format,
                       on ? AppTheme::textPrimary() : AppTheme::textSecondary());
}

void OnboardingPage3::paintBulkBar(QPainter& painter, const QRectF& rect) const
{
    using namespace OnboardingStyle;
    paintRoundedBox(painter, rect, 8, AppTheme::glassBg(), AppTheme::glassBorder());
    const QRectF content = rect.adjusted(kRowPadding, 0, -kRowPadding, 0);
    paintSymbol(painter, QStringLiteral("checkmark.square.fill"), QPointF(content.left() + 6, content.center().y()), 12,
                AppTheme::accentPurple());
    const QFont chipFont = Typography::withWeight(Typography::onboardingCaption2(), QFont::DemiBold);
    paintText(painter, QRectF(content.left() + 22, content.top(), 120, content.height()), selectedText(), chipFont,
              AppTheme::textSecondary());

    const QFontMetricsF metrics(chipFont);
    const double chipHeight = metrics.height() + 6;
    double right = content.right();
    struct Chip {
        QString text;
        QColor textColor;
        QColor fill;
    };
    const std::array<Chip, 2> chips{Chip{QStringLiteral("Disable"), AppTheme::textSecondary(), AppTheme::glassBg()},
                                    Chip{QStringLiteral("Enable"), AppTheme::systemGreen(),
                                         AppTheme::withAlpha(AppTheme::systemGreen(), 0.15 + 0.25 * m_flash->value())}};
    for (const Chip& chip : chips) {
        const double width = metrics.horizontalAdvance(chip.text) + 16;
        const QRectF box(right - width, content.center().y() - chipHeight / 2, width, chipHeight);
        paintRoundedBox(painter, box, 5, chip.fill, Qt::transparent, 0);
        const QColor ground =
            AppTheme::over(chip.fill, AppTheme::over(AppTheme::glassBg(), palette().color(QPalette::Window)));
        paintText(painter, box, chip.text, chipFont, chip.textColor, Qt::AlignCenter, ground);
        right -= width + 6;
    }
}
