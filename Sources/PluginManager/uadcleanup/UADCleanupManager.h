#pragma once

#include "catalogue/PluginModels.h"
#include "operations/PluginManagerViewModel.h"
#include "uadcleanup/UADNameMatching.h"
#include "uadcleanup/UADPluginAuth.h"
#include "uadcleanup/UADProfileParser.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class PluginDatabase;
class UADNameMatcher;
class UADControlPanel;

/// The window's state and workflow of the UAD demo clean-up (AppDelegate owns one): has the vendor's
/// control panel export its system profile, reads the authorisation section, matches
/// every demo entry to catalogue rows and keeps the lists the clean-up sheet shows and
/// selects from. Moves nothing itself except through disableSelectedUADDemos(), which
/// hands the rows to the window's view model. Lives on the main thread.
class UADCleanupManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UADCleanupManager)
public:
    static constexpr auto profileFilename = "UADSystemProfile.txt";
    static constexpr auto kNotInstalledMessage =
        "UAD Meter & Control Panel not found. Please install UAD software first.";
    static constexpr auto kNoProfileOnRetryMessage =
        "No UADSystemProfile.txt found. Please export it from the UAD Control Panel (⌘I → Save Detailed System "
        "Profile) and save it to your Desktop.";
    static constexpr auto kReadFailurePrefix = "Failed to read UAD System Profile: ";
    static constexpr auto kAllAlreadyDisabledMessage =
        "All demo plugins are already disabled. Nothing new to clean up.";
    static constexpr auto kAllAuthorizedMessage = "All your UAD plugins are authorized! Nothing to clean up.";
    static constexpr auto kNotMatchedMessage =
        "The selected plugins are already disabled or could not be matched to installed files.";
    static constexpr auto kNoUADPluginsMessage = "No UAD plugins found on this system. Make sure UAD software is "
                                                 "installed and plugins are present in /Library/Audio/Plug-Ins.";
    static constexpr auto kNothingDisabledMessage = "None of the selected plugins could be disabled.";
    /// The six-line text shown when an export request produced no file.
    static QString manualSaveMessage();

    /// Matches against `database` and asks `panel` for the system profile (null: the panel
    /// counts as not installed).
    UADCleanupManager(PluginDatabase& database, std::shared_ptr<UADControlPanel> panel, QObject* parent = nullptr);
    ~UADCleanupManager() override;

    // --- Published state ---
    bool showCleanupSheet() const { return m_showCleanupSheet; }
    void setShowCleanupSheet(bool show);
    bool isLoading() const { return m_isLoading; }
    /// Every profile entry that is not authorised, in file order.
    const QList<UADPluginAuth>& demoPlugins() const { return m_demoPlugins; }
    const QList<UADPluginAuth>& authorizedPlugins() const { return m_authorizedPlugins; }
    /// A failure, or the outcome text of a run that leaves nothing to do.
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    bool cleanupComplete() const { return m_cleanupComplete; }
    int disabledCount() const { return m_disabledCount; }

    // --- Derived from demoPlugins, in its order ---
    QList<UADPluginAuth> expiredPlugins() const;
    QList<UADPluginAuth> activeDemoPlugins() const;
    QList<UADPluginAuth> notStartedPlugins() const;
    int alreadyDisabledCount() const;
    int selectedCount() const;

    /// The window's view model, set right before startCleanup(); used for the rescan.
    PluginManagerViewModel* pluginManager() const { return m_pluginManager; }
    void setPluginManager(PluginManagerViewModel* viewModel) { m_pluginManager = viewModel; }

    /// Shows the sheet with empty lists and runs the clean-up once the call has returned.
    void startCleanup();
    int startCount() const { return m_startCount; }
    /// Reads a profile already on disk (any age), without the control panel or a rescan.
    void retryWithExistingProfile();

    void toggleSelection(const UADPluginAuth& entry);
    void selectAll();
    void deselectAll();
    void selectExpiredOnly();

    /// Disables the catalogue rows of every selected entry through the view model's
    /// batch, once the call has returned. Ends in the complete state only when rows are
    /// really disabled; a failed or refused batch ends in the error state.
    void disableSelectedUADDemos(PluginManagerViewModel& viewModel);
    /// True while that batch runs: the sheet shows the batch's failure itself, so the
    /// window does not alert it as well.
    bool isRunningBatch() const { return m_runningBatch; }

    // --- Profile files ---
    /// The newest regular file in `folder` whose name contains "UADSystemProfile" and whose
    /// extension is txt in any case; hidden files are skipped. With `notBefore`, files
    /// modified earlier do not count.
    static std::optional<QString> findProfileFile(const QString& folder,
                                                  const std::optional<QDateTime>& notBefore = std::nullopt);
    /// Desktop, Downloads, Documents of H, in this order: the first that yields a file decides.
    static std::optional<QString> findProfileInUserFolders(const std::optional<QDateTime>& notBefore = std::nullopt);
    /// The whole file as strict UTF-8; on failure, the reason.
    static std::pair<std::optional<QString>, QString> readProfileText(const QString& path);

    // --- Parsing and matching (pure; UADProfileParser and UADNameMatching hold them) ---
    static QList<UADPluginAuth> parsePluginAuthorizations(const QString& text)
    {
        return UADProfileParser::parsePluginAuthorizations(text);
    }
    static const QSet<QString>& stopWords() { return UADNameMatching::stopWords(); }
    static const QHash<QString, QString>& wordMap() { return UADNameMatching::wordMap(); }
    using ExplicitMapping = UADNameMatching::ExplicitMapping;
    static const QList<ExplicitMapping>& explicitMappings() { return UADNameMatching::explicitMappings(); }
    static QSet<QString> tokens(const QString& text) { return UADNameMatching::tokens(text); }
    static QList<AudioPlugin> matchedDBPlugins(const QString& profileName, const QList<AudioPlugin>& rows)
    {
        return UADNameMatching::matchedDBPlugins(profileName, rows);
    }

    // --- Seams for tests ---
    /// How long an export request is given to write its file (1 s).
    void setExportWait(std::chrono::milliseconds wait) { m_exportWait = wait; }
    /// Runs on the matching thread before each piece of matching (tests hold it at a gate).
    void setMatchingHook(std::function<void()> hook) { m_matchingHook = std::move(hook); }

Q_SIGNALS:
    void showCleanupSheetChanged();
    void isLoadingChanged();
    void demoPluginsChanged();
    void authorizedPluginsChanged();
    void errorMessageChanged();
    void cleanupCompleteChanged();
    void disabledCountChanged();
    void cleanupStarted();

private:
    friend class UADCleanupManagerTestAccess;
    /// Every catalogue row, ordered by name without regard to case.
    QList<AudioPlugin> catalogueRows() const;
    void setLoading(bool loading);
    void setErrorMessage(std::optional<QString> message);
    void setCleanupComplete(bool complete);
    void setDisabledCount(int count);
    void setDemoPlugins(QList<UADPluginAuth> entries);
    void setAuthorizedPlugins(QList<UADPluginAuth> entries);
    /// Starts a new piece of work; the work of earlier ones no longer publishes.
    int beginWork();
    bool isCurrent(int work) const { return work == m_work; }

    /// Rescans through the view model and calls `next` once the scan is over.
    void rescanThen(PluginManagerViewModel& viewModel, std::function<void()> next);
    void exportAndParseProfile(int work);
    /// The published lists of one profile text.
    struct CrossReference {
        QList<UADPluginAuth> demos;
        QList<UADPluginAuth> authorized;
    };
    /// Runs `job` on the matching thread, then what it returns here, unless newer work has
    /// begun by then.
    void runOffThread(int work, std::function<std::function<void()>()> job);
    void readAndCrossReference(int work, const QString& path);
    static CrossReference parseAndCrossReference(const QString& text, const UADNameMatcher& catalogue);
    void publishCrossReference(CrossReference lists);
    void finishDisable(int work, const QSet<QString>& names, PluginManagerViewModel* viewModel);
    void disableMatched(const QList<AudioPlugin>& rows, const QSet<QUuid>& matchedIds,
                        PluginManagerViewModel* viewModel);
    void runDisableBatch(PluginManagerViewModel& viewModel, const QList<AudioPlugin>& toDisable,
                         const QSet<QUuid>& matchedIds);

    bool m_showCleanupSheet = false;
    bool m_isLoading = false;
    QList<UADPluginAuth> m_demoPlugins;
    QList<UADPluginAuth> m_authorizedPlugins;
    std::optional<QString> m_errorMessage;
    bool m_cleanupComplete = false;
    int m_disabledCount = 0;

    std::shared_ptr<UADControlPanel> m_panel;
    QPointer<PluginManagerViewModel> m_pluginManager;
    PluginDatabase& m_database;
    std::chrono::milliseconds m_exportWait{1000};
    QDateTime m_runStart;
    int m_startCount = 0;
    int m_work = 0;
    bool m_runningBatch = false;
    std::function<void()> m_matchingHook;
    /// Reading, parsing and matching run here, off the GUI thread.
    QThreadPool m_matching;
};
