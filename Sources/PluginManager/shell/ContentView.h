#pragma once

#include "catalogue/PluginModels.h"
#include "operations/BulkAction.h"
#include "shell/ContentViewSeams.h"
#include "shell/NewPluginsSheet.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class HiddenKeySequence;
class NewPluginsBanner;
class NewPluginsOffer;
class PluginManagerViewModel;
class ProfileManager;
class Prompter;
class QSplitter;
class QTimer;
class UADCleanupManager;
class UpdateBanner;
class UpdateChecker;
struct WindowState;

/// A sheet the view has open: it goes with the view unless it went first. Held in members
/// declared after everything a sheet's handlers read, so it goes while the view is whole.
template <class Dialog>
class OwnedSheet final {
public:
    OwnedSheet() = default;
    Q_DISABLE_COPY_MOVE(OwnedSheet)
    ~OwnedSheet() { delete m_sheet.data(); }

    OwnedSheet& operator=(Dialog* sheet)
    {
        m_sheet = sheet;
        return *this;
    }
    operator Dialog*() const { return m_sheet.data(); }

private:
    QPointer<Dialog> m_sheet;
};

/// The main window's root view over the window's state objects: lays out the
/// sidebar and the detail column (update banner, new-plug-ins banner, main content),
/// runs the start-up sequence when first shown, confirms and runs bulk requests,
/// shows every operation error, and presents the sheets. Its pieces come from the
/// factories it is given, and every question goes through the prompter it is given.
class ContentView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentView)
public:
    /// A view over `state`, which the caller keeps alive longer than this view and its sheets,
    /// as it does `prompter`.
    ContentView(WindowState& state, Prompter& prompter,
                ContentViewSeams::Factories factories = ContentViewSeams::defaults(), QWidget* parent = nullptr);

    PluginManagerViewModel& pluginManager() const { return m_pluginManager; }
    UpdateChecker& updateChecker() const { return m_updateChecker; }
    ProfileManager& profileManager() const { return m_profileManager; }
    UADCleanupManager& uadCleanup() const { return m_uadCleanup; }
    NewPluginsOffer& newPlugins() const { return m_newPlugins; }
    HiddenKeySequence& hiddenKeySequence() const { return *m_hiddenKeySequence; }

    // --- Bulk requests ---
    bool showingError() const { return m_showingError; }
    bool showingBulkWarning() const { return m_showingBulkWarning; }
    std::optional<BulkAction> pendingBulkAction() const { return m_pendingBulkAction; }
    const QList<AudioPlugin>& pendingPlugins() const { return m_pendingPlugins; }
    /// From the bulk panel: keeps what will actually change, then asks for confirmation.
    void requestBulkConfirmation(BulkAction action, const QList<AudioPlugin>& plugins);
    /// Asks about the pending request (what the alert's buttons then run).
    void presentBulkWarning();
    void performBulkAction(BulkAction action, const QList<AudioPlugin>& plugins);
    /// The sidebar's callbacks; no format = every format.
    void enableAllForFormat(std::optional<PluginFormat> format);
    void disableAllForFormat(std::optional<PluginFormat> format);
    /// The main content area's Reset callback: reset once more, arm the hidden key sequence.
    void onResetTapped();

    /// Bulk confirmation texts.
    static QString bulkWarningTitle(std::optional<BulkAction> action);
    static QString bulkWarningMessage(std::optional<BulkAction> action, qsizetype count);

    // --- Start-up ---
    /// Update check and first scan with the new-plug-ins offer; runs on the first show.
    void runStartupSequence();
    bool startupSequenceRan() const { return m_startupRan; }
    bool showingOnboarding() const { return m_showingOnboarding; }

    /// "All Plugins" or the one selected format's name.
    QString navigationTitle() const;

    // --- Parts, for tests and the window ---
    QSplitter* splitter() const { return m_splitter; }
    QWidget* sidebar() const { return builtPart(m_sidebar); }
    QWidget* mainContent() const { return builtPart(m_mainContent); }
    UpdateBanner* updateBanner() const { return builtPart(m_updateBanner); }
    NewPluginsBanner* newPluginsBanner() const { return builtPart(m_newPluginsBanner); }
    /// Whether every part of the view is there (they are built over the first event-loop turns).
    bool isBuilt() const { return m_pendingParts.isEmpty() && !m_builtPending; }
    /// Builds what is left at once.
    void ensureBuilt() const;
    NewPluginsSheet* newPluginsSheet() const { return m_newPluginsSheet; }
    QDialog* onboardingSheet() const { return m_onboardingSheet; }
    QDialog* uadCleanupSheet() const { return m_uadCleanupSheet; }

Q_SIGNALS:
    /// The scan of the start-up sequence and its offer are done.
    void startupSequenceFinished();
    void navigationTitleChanged(const QString& title);
    /// The last part is built: the view is whole.
    void built();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    /// A part's slot, read once the parts are built (the slot is read after building, so by reference).
    template <class Part>
    Part* builtPart(Part* const& slot) const
    {
        ensureBuilt();
        return slot;
    }
    void buildLayout();
    void buildNextPart();
    void buildSidebarColumn();
    void buildDetailColumn();
    void scanAndOfferNewPlugins();
    void offerNewPlugins();
    void queueError(const PluginError& error);
    void schedulePresentError();
    void presentErrorAlert();
    void presentOnboarding();
    void presentNewPluginsSheet(bool show);
    void presentUADCleanupSheet(bool show);
    void setNewPluginsBannerShown(bool shown);
    void armCheatCode();
    QList<AudioPlugin> changingPlugins(BulkAction action, const QList<AudioPlugin>& plugins) const;

    // The window's state objects, owned by the composition root.
    PluginManagerViewModel& m_pluginManager;
    UpdateChecker& m_updateChecker;
    ProfileManager& m_profileManager;
    UADCleanupManager& m_uadCleanup;
    NewPluginsOffer& m_newPlugins;
    Prompter& m_prompter;
    const ContentViewSeams::Factories m_factories;

    bool m_showingError = false;
    bool m_showingBulkWarning = false;
    std::optional<BulkAction> m_pendingBulkAction;
    QList<AudioPlugin> m_pendingPlugins;
    bool m_showingOnboarding = false;
    HiddenKeySequence* m_hiddenKeySequence = nullptr;

    bool m_startupRan = false;
    QList<PluginError> m_pendingErrors; // taken from errorChanged, shown together once queued work ran
    bool m_errorPresentScheduled = false;
    bool m_errorWaitsForScan = false; // a scan started after the error: its own outcome joins the same alert
    QList<std::function<void()>> m_pendingParts;
    QTimer* m_partTimer = nullptr;
    bool m_builtPending = false; // the parts are built; `built` follows in the next turn
    QSplitter* m_splitter = nullptr;
    QWidget* m_sidebarColumn = nullptr;
    QWidget* m_sidebar = nullptr;
    QWidget* m_detail = nullptr;
    QWidget* m_mainContent = nullptr;
    UpdateBanner* m_updateBanner = nullptr;
    NewPluginsBanner* m_newPluginsBanner = nullptr;
    // Last, so the sheets go first.
    OwnedSheet<NewPluginsSheet> m_newPluginsSheet;
    OwnedSheet<QDialog> m_onboardingSheet;
    OwnedSheet<QDialog> m_uadCleanupSheet;
};
