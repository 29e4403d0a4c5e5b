#include "shell/ContentView.h"

#include "Platform/DefaultsStore.h"
#include "Platform/PlatformServices.h"
#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "shell/ContentViewSeams.h"
#include "shell/HiddenKeySequence.h"
#include "shell/NewPluginsBanner.h"
#include "shell/NewPluginsOffer.h"
#include "shell/NewPluginsSheet.h"
#include "shell/UpdateBanner.h"
#include "shell/UpdateChecker.h"
#include "shell/WindowState.h"
#include "uadcleanup/UADCleanupManager.h"
#include "widgets/AppTheme.h"
#include "widgets/Prompter.h"
#include "widgets/RevealSlot.h"

#include <QDialog>
#include <QFontMetrics>
#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QSet>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

// The two columns are always there: a factory left empty by mistake gives the real view.
ContentViewSeams::Factories withColumns(ContentViewSeams::Factories factories)
{
    Q_ASSERT_X(factories.sidebar && factories.mainContent, "ContentView", "both columns have a factory");
    const ContentViewSeams::Factories real = ContentViewSeams::defaults();
    if (!factories.sidebar)
        factories.sidebar = real.sidebar;
    if (!factories.mainContent)
        factories.mainContent = real.mainContent;
    return factories;
}

constexpr int kSidebarMinWidth = 250;
constexpr int kSidebarIdealWidth = 250;
constexpr int kSidebarMaxWidth = 400;
constexpr int kBannerAnimationMs = 300;
const auto kOnboardingCompleteKey = QStringLiteral("onboardingComplete");

bool readOnboardingComplete(const std::shared_ptr<DefaultsStore>& defaults)
{
    return defaults && defaults->value(DefaultsStore::standardSuite(), kOnboardingCompleteKey, false).toBool();
}

} // namespace

ContentView::ContentView(WindowState& state, Prompter& prompter, ContentViewSeams::Factories factories, QWidget* parent)
    : QWidget(parent), m_pluginManager(*state.pluginManager), m_updateChecker(state.updateChecker),
      m_profileManager(*state.profileManager), m_uadCleanup(state.uadCleanup), m_newPlugins(state.newPlugins),
      m_prompter(prompter), m_factories(withColumns(std::move(factories)))
{
    setObjectName(QStringLiteral("contentView"));
    // Every pixel is painted by paintEvent.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Read once, when the root view is created; an absent key shows the onboarding.
    m_showingOnboarding = !readOnboardingComplete(m_pluginManager.services().defaults);
    // The match reaches only state objects, which outlive this view and its children.
    m_hiddenKeySequence = new HiddenKeySequence(
        [&uad = m_uadCleanup, &pluginManager = m_pluginManager] {
            uad.setPluginManager(&pluginManager);
            uad.startCleanup();
        },
        this);

    buildLayout();

    // Every error an operation records is shown, once the operation has returned.
    // The error is taken when it is set, so a later operation that clears it cannot swallow the alert.
    connect(&m_pluginManager, &PluginManagerViewModel::errorChanged, this, [this] {
        // The clean-up sheet shows its own batch's failure; one report is enough.
        if (m_pluginManager.error() && !m_uadCleanup.isRunningBatch())
            queueError(*m_pluginManager.error());
    });
    // A scan that an operation queued after its failure (to read the disk again) reports in
    // the same alert: one failure, one alert.
    connect(&m_pluginManager, &PluginManagerViewModel::isLoadingChanged, this, [this] {
        if (m_pluginManager.isLoading() && !m_pendingErrors.isEmpty())
            m_errorWaitsForScan = true;
    });
    connect(&m_pluginManager, &PluginManagerViewModel::scanFinished, this, [this] {
        if (std::exchange(m_errorWaitsForScan, false))
            schedulePresentError();
    });
    // One recorded before the window existed (a catalogue set aside when it was opened).
    if (m_pluginManager.error())
        queueError(*m_pluginManager.error());
    connect(&m_pluginManager, &PluginManagerViewModel::selectedFormatsChanged, this, [this] {
        m_detail->setWindowTitle(navigationTitle());
        m_detail->setAccessibleName(navigationTitle());
        Q_EMIT navigationTitleChanged(navigationTitle());
    });
    connect(&m_newPlugins, &NewPluginsOffer::showBannerChanged, this,
            [this] { setNewPluginsBannerShown(m_newPlugins.showBanner()); });
    connect(&m_newPlugins, &NewPluginsOffer::showSheetChanged, this,
            [this] { presentNewPluginsSheet(m_newPlugins.showSheet()); });
    connect(&m_uadCleanup, &UADCleanupManager::showCleanupSheetChanged, this,
            [this] { presentUADCleanupSheet(m_uadCleanup.showCleanupSheet()); });
}

void ContentView::buildLayout()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("rootSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);

    m_sidebarColumn = new QWidget;
    m_sidebarColumn->setObjectName(QStringLiteral("sidebarColumn"));
    auto* sidebarLayout = new QVBoxLayout(m_sidebarColumn);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->setSpacing(0);
    m_sidebarColumn->setMinimumWidth(kSidebarMinWidth);
    m_sidebarColumn->setMaximumWidth(kSidebarMaxWidth);
    m_splitter->addWidget(m_sidebarColumn);

    m_detail = new QWidget;
    m_detail->setObjectName(QStringLiteral("detailColumn"));
    auto* detailLayout = new QVBoxLayout(m_detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->setSpacing(0);
    m_detail->setWindowTitle(navigationTitle());
    m_detail->setAccessibleName(navigationTitle());
    m_splitter->addWidget(m_detail);

    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kSidebarIdealWidth, 950});
    layout->addWidget(m_splitter);

    // The columns are built one per event-loop turn, so that no single turn of the start holds
    // the window's events back; whatever asks for a part before its turn builds the rest at once.
    m_pendingParts = {
        // Qt's first look at the system's fonts (some 14 ms) gets a turn of its own.
        [this] { (void)QFontMetrics(font()).height(); },
        [this] { buildSidebarColumn(); },
        [this] { buildDetailColumn(); },
    };
    // A timer, not a posted call: timers due meanwhile (the window's own among them) get their
    // turn between two parts, where posted calls would run back to back.
    m_partTimer = new QTimer(this);
    m_partTimer->setSingleShot(true);
    m_partTimer->setInterval(0);
    connect(m_partTimer, &QTimer::timeout, this, &ContentView::buildNextPart);
    m_partTimer->start();
}

void ContentView::buildNextPart()
{
    // The turn after the last part says so: what follows (showing the window) gets a turn too.
    if (m_pendingParts.isEmpty()) {
        if (std::exchange(m_builtPending, false))
            Q_EMIT built();
        return;
    }
    const std::function<void()> part = m_pendingParts.takeFirst();
    part();
    m_builtPending = true;
    m_partTimer->start();
}

void ContentView::ensureBuilt() const
{
    // Building fills in what the constant accessors hand out; the view looks the same either way.
    auto* self = const_cast<ContentView*>(this); // NOLINT(cppcoreguidelines-pro-type-const-cast)
    if (self->m_pendingParts.isEmpty() && !self->m_builtPending)
        return;
    self->m_partTimer->stop();
    while (!self->m_pendingParts.isEmpty())
        self->m_pendingParts.takeFirst()();
    self->m_builtPending = false;
    Q_EMIT self->built();
}

void ContentView::buildSidebarColumn()
{
    m_sidebar = m_factories.sidebar(
        m_pluginManager, m_profileManager, m_prompter, [this](std::optional<PluginFormat> f) { enableAllForFormat(f); },
        [this](std::optional<PluginFormat> f) { disableAllForFormat(f); }, m_sidebarColumn);
    m_sidebarColumn->layout()->addWidget(m_sidebar);
}

void ContentView::buildDetailColumn()
{
    auto* detailLayout = static_cast<QVBoxLayout*>(m_detail->layout());
    // Both banners move in from the top edge and fade, and leave the same way.
    m_updateBanner = new UpdateBanner(m_updateChecker, m_pluginManager.services().workspace, m_detail);
    detailLayout->addWidget(
        new RevealSlot(m_updateBanner, RevealSlot::Entrance::slideFromTop, kBannerAnimationMs, m_detail));
    m_newPluginsBanner = new NewPluginsBanner(m_newPlugins, m_detail);
    m_newPluginsBanner->setVisible(m_newPlugins.showBanner());
    detailLayout->addWidget(
        new RevealSlot(m_newPluginsBanner, RevealSlot::Entrance::slideFromTop, kBannerAnimationMs, m_detail));
    m_mainContent = m_factories.mainContent(
        m_pluginManager, m_profileManager, m_prompter,
        [this](BulkAction action, const QList<AudioPlugin>& plugins) { requestBulkConfirmation(action, plugins); },
        [this] { onResetTapped(); }, m_detail);
    detailLayout->addWidget(m_mainContent, 1);
}

void ContentView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // The faint wash over the window's colour, drawn opaque in one pass: the window then has no
    // background of its own to fill first under this view.
    const QColor window = palette().color(QPalette::Window);
    const QColor from = AppTheme::over(AppTheme::withAlpha(AppTheme::textPrimary(), 0.05), window);
    const QColor to = AppTheme::over(AppTheme::withAlpha(AppTheme::textPrimary(), 0.02), window);
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(event->rect(), gradient);
}

void ContentView::showEvent(QShowEvent* event)
{
    // A view shown before its last turn is shown whole.
    ensureBuilt();
    QWidget::showEvent(event);
    // The start-up sequence belongs to the window's appearance, not to every restore.
    if (m_startupRan)
        return;
    runStartupSequence();
    if (m_showingOnboarding)
        QTimer::singleShot(0, this, &ContentView::presentOnboarding);
}

// --- Start-up ---

void ContentView::runStartupSequence()
{
    m_startupRan = true;
    // Two independent tasks: the update check runs while the scan does.
    m_updateChecker.checkForUpdates();
    QTimer::singleShot(0, this, &ContentView::scanAndOfferNewPlugins);
}

void ContentView::scanAndOfferNewPlugins()
{
    m_pluginManager.scanForPlugins([this] { offerNewPlugins(); });
}

void ContentView::offerNewPlugins()
{
    if (m_profileManager.profiles().isEmpty()) {
        // Without profiles there is nothing to offer the plug-ins to.
        Q_EMIT startupSequenceFinished();
        return;
    }
    const QList<AudioPlugin>& newlyDetected = m_pluginManager.newlyDetectedPlugins();
    if (!newlyDetected.isEmpty()) {
        // Earlier pending plug-ins that are still installed stay pending.
        QList<AudioPlugin> list = newlyDetected;
        QSet<QString> keys;
        for (const AudioPlugin& plugin : list)
            keys.insert(plugin.key());
        for (const AudioPlugin& plugin : m_profileManager.pendingNewPluginsFrom(m_pluginManager.plugins())) {
            if (!keys.contains(plugin.key())) {
                keys.insert(plugin.key());
                list.append(plugin);
            }
        }
        m_profileManager.setPendingNewPlugins(list);
    }
    const QList<AudioPlugin> pending = m_profileManager.pendingNewPluginsFrom(m_pluginManager.plugins());
    if (!pending.isEmpty())
        m_newPlugins.offer(pending);
    Q_EMIT startupSequenceFinished();
}

void ContentView::presentOnboarding()
{
    if (!m_showingOnboarding || m_onboardingSheet)
        return;
    const auto& factory = m_factories.onboardingSheet;
    QDialog* sheet = factory ? factory(m_pluginManager.services(), window()) : nullptr;
    if (!sheet)
        return;
    m_onboardingSheet = sheet;
    sheet->setWindowModality(Qt::WindowModal);
    // However the sheet goes away, the onboarding counts as done.
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        m_showingOnboarding = false;
        if (const auto& defaults = m_pluginManager.services().defaults)
            defaults->setValue(DefaultsStore::standardSuite(), kOnboardingCompleteKey, true);
        sheet->deleteLater();
    });
    sheet->open();
}

QString ContentView::navigationTitle() const
{
    const QSet<PluginFormat>& formats = m_pluginManager.selectedFormats();
    if (formats.size() == 1)
        return PluginFormats::rawValue(*formats.begin());
    return QStringLiteral("All Plugins");
}

// --- Errors ---

void ContentView::queueError(const PluginError& error)
{
    const QString text = error.errorDescription();
    const bool known = std::any_of(m_pendingErrors.cbegin(), m_pendingErrors.cend(),
                                   [&text](const PluginError& e) { return e.errorDescription() == text; });
    if (!known)
        m_pendingErrors.append(error);
    schedulePresentError();
}

void ContentView::schedulePresentError()
{
    if (std::exchange(m_errorPresentScheduled, true))
        return;
    QTimer::singleShot(0, this, &ContentView::presentErrorAlert);
}

void ContentView::presentErrorAlert()
{
    m_errorPresentScheduled = false;
    // Never an alert on top of an alert: what arrives while one is open follows once it closes.
    if (m_showingError || m_errorWaitsForScan || m_pendingErrors.isEmpty())
        return;
    QStringList texts;
    for (const PluginError& error : std::exchange(m_pendingErrors, {}))
        texts.append(error.errorDescription());
    m_showingError = true;
    m_prompter.inform(window(), QStringLiteral("Error"), texts.join(QStringLiteral("\n\n")));
    m_showingError = false;
    if (!m_pendingErrors.isEmpty())
        schedulePresentError();
}

// --- Bulk requests ---

QString ContentView::bulkWarningTitle(std::optional<BulkAction> action)
{
    return action == BulkAction::delete_ ? QStringLiteral("⚠️ Permanently Delete Plugins")
                                         : QStringLiteral("Confirm Bulk Action");
}

QString ContentView::bulkWarningMessage(std::optional<BulkAction> action, qsizetype count)
{
    if (!action)
        return {};
    const QString n = QString::number(count);
    if (*action == BulkAction::delete_)
        return QStringLiteral("You are about to permanently delete ") + n +
               QStringLiteral(" plugin(s) from your system. This action CANNOT be undone. The plugin(s) will need "
                              "to be reinstalled.");
    return QStringLiteral("You are about to ") +
           (*action == BulkAction::enable ? QStringLiteral("enable") : QStringLiteral("disable")) + QLatin1Char(' ') +
           n + QStringLiteral(" plugins. Are you sure you want to continue?");
}

QList<AudioPlugin> ContentView::changingPlugins(BulkAction action, const QList<AudioPlugin>& plugins) const
{
    QHash<QUuid, AudioPlugin> current;
    for (const AudioPlugin& plugin : m_pluginManager.plugins())
        current.insert(plugin.id, plugin);
    QSet<QUuid> seen;
    QList<AudioPlugin> kept;
    for (const AudioPlugin& given : plugins) {
        if (seen.contains(given.id))
            continue;
        seen.insert(given.id);
        const AudioPlugin plugin = current.value(given.id, given);
        const bool changes = action == BulkAction::delete_ || (action == BulkAction::enable && !plugin.isEnabled) ||
                             (action == BulkAction::disable && plugin.isEnabled);
        if (changes)
            kept.append(plugin);
    }
    return kept;
}

void ContentView::requestBulkConfirmation(BulkAction action, const QList<AudioPlugin>& plugins)
{
    // The number asked about is the number that will change: duplicates and plug-ins
    // already in the wanted state are left out.
    const QList<AudioPlugin> kept = changingPlugins(action, plugins);
    if (kept.isEmpty())
        return;
    m_pendingBulkAction = action;
    m_pendingPlugins = kept;
    m_showingBulkWarning = true;
    presentBulkWarning();
}

void ContentView::presentBulkWarning()
{
    m_showingBulkWarning = true;
    const bool isDelete = m_pendingBulkAction == BulkAction::delete_;
    const bool confirmed = m_prompter.confirm(
        window(), bulkWarningTitle(m_pendingBulkAction),
        bulkWarningMessage(m_pendingBulkAction, m_pendingPlugins.size()),
        isDelete ? QStringLiteral("Delete Permanently") : QStringLiteral("Continue"), Prompter::Role::destructive);
    m_showingBulkWarning = false;
    if (!confirmed)
        return; // Cancel keeps the pending values until the next request.
    const BulkAction action = isDelete ? BulkAction::delete_ : m_pendingBulkAction.value_or(BulkAction::enable);
    performBulkAction(action, m_pendingPlugins);
}

void ContentView::performBulkAction(BulkAction action, const QList<AudioPlugin>& plugins)
{
    // A copy on purpose: `plugins` may alias m_pendingPlugins, which the action clears.
    const QList<AudioPlugin> batch = plugins; // NOLINT(performance-unnecessary-copy-initialization)
    if (action == BulkAction::delete_)
        m_pluginManager.deletePlugins(batch);
    else
        m_pluginManager.toggleMultiplePlugins(batch);
    m_pendingBulkAction.reset();
    m_pendingPlugins.clear();
    m_showingBulkWarning = false;
}

void ContentView::enableAllForFormat(std::optional<PluginFormat> format)
{
    QList<AudioPlugin> kept;
    for (const AudioPlugin& plugin : m_pluginManager.allFilteredPlugins()) {
        if (!plugin.isEnabled && (!format || plugin.format == *format))
            kept.append(plugin);
    }
    m_pluginManager.toggleMultiplePlugins(kept);
}

void ContentView::disableAllForFormat(std::optional<PluginFormat> format)
{
    QList<AudioPlugin> kept;
    for (const AudioPlugin& plugin : m_pluginManager.allFilteredPlugins()) {
        if (plugin.isEnabled && (!format || plugin.format == *format))
            kept.append(plugin);
    }
    m_pluginManager.toggleMultiplePlugins(kept);
}

void ContentView::onResetTapped()
{
    m_pluginManager.resetView();
    armCheatCode();
}

void ContentView::armCheatCode()
{
    m_hiddenKeySequence->arm();
}

// --- Banners and sheets ---

void ContentView::setNewPluginsBannerShown(bool shown)
{
    // Not built yet: the banner reads the offer when it is.
    if (m_newPluginsBanner)
        m_newPluginsBanner->setVisible(shown);
}

void ContentView::presentNewPluginsSheet(bool show)
{
    if (!show) {
        if (NewPluginsSheet* sheet = m_newPluginsSheet) {
            m_newPluginsSheet = nullptr;
            sheet->done(QDialog::Accepted);
            sheet->deleteLater();
        }
        return;
    }
    if (m_newPluginsSheet)
        return;
    auto* sheet = new NewPluginsSheet(m_newPlugins, m_profileManager, window());
    m_newPluginsSheet = sheet;
    sheet->setWindowModality(Qt::WindowModal);
    connect(sheet, &QDialog::rejected, this, [this, sheet] {
        if (m_newPluginsSheet == sheet) {
            m_newPluginsSheet = nullptr;
            m_newPlugins.closeSheet();
            sheet->deleteLater();
        }
    });
    sheet->open();
}

void ContentView::presentUADCleanupSheet(bool show)
{
    if (!show) {
        if (QDialog* sheet = m_uadCleanupSheet) {
            m_uadCleanupSheet = nullptr;
            sheet->done(QDialog::Accepted);
            sheet->deleteLater();
        }
        return;
    }
    if (m_uadCleanupSheet)
        return;
    auto* sheet = new QDialog(window());
    sheet->setWindowTitle(QStringLiteral("UAD Demo Cleanup"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setFixedSize(520, 500);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const auto& factory = m_factories.uadCleanupSheet;
    if (QWidget* content = factory ? factory(m_uadCleanup, m_pluginManager, sheet) : nullptr)
        layout->addWidget(content);
    m_uadCleanupSheet = sheet;
    // Closing the sheet, by whatever means, lowers the manager's flag.
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        if (m_uadCleanupSheet == sheet)
            m_uadCleanupSheet = nullptr;
        m_uadCleanup.setShowCleanupSheet(false);
        sheet->deleteLater();
    });
    sheet->open();
}
