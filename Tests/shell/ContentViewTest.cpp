#include "shell/ContentView.h"

#include "Platform/DefaultsStore.h"
#include "Support/Eventually.h"
#include "Support/ExecSql.h"
#include "pluginlist/MainContentView.h"
#include "shell/AlertExpectations.h"
#include "shell/HiddenKeySequence.h"
#include "shell/NewPluginsBanner.h"
#include "shell/NewPluginsOffer.h"
#include "shell/ShellFixture.h"
#include "shell/UpdateBanner.h"

#include <QDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include <algorithm>

namespace {

class ContentViewTest : public ShellTest {
protected:
    QString vst3(const QString& name) const { return sys("/Library/Audio/Plug-Ins/VST3/") + name + ".vst3"; }
    QString disabledVst3(const QString& name) const
    {
        return sys("/Library/Audio/Plug-Ins/Disabled/VST3/") + name + ".vst3";
    }

    AudioPlugin enabledBundle(const QString& name)
    {
        makeBundle(vst3(name));
        return record(name, PluginFormat::vst3, vst3(name), true);
    }
    AudioPlugin disabledBundle(const QString& name)
    {
        makeBundle(disabledVst3(name));
        AudioPlugin plugin = record(name, PluginFormat::vst3, vst3(name), false);
        plugin.currentPath = disabledVst3(name);
        return plugin;
    }

    QStringList names(const QList<AudioPlugin>& plugins) const
    {
        QStringList list;
        for (const AudioPlugin& p : plugins)
            list.append(p.name);
        list.sort();
        return list;
    }

    /// Lets queued work (the error alert) run.
    static void settle() { QTest::qWait(20); }
};

} // namespace

// --- Layout and state ---

TEST_F(ContentViewTest, OwnsItsStateAndLaysOutSidebarAndDetailColumn)
{
    ContentView& v = view();
    EXPECT_EQ(&v.updateChecker(), &checker);
    EXPECT_EQ(&v.uadCleanup(), &uad());
    ASSERT_NE(v.splitter(), nullptr);
    ASSERT_EQ(v.splitter()->count(), 2);
    QWidget* sidebarColumn = v.splitter()->widget(0);
    EXPECT_EQ(sidebarColumn->minimumWidth(), 250);
    EXPECT_EQ(sidebarColumn->maximumWidth(), 400);
    EXPECT_TRUE(sidebarColumn->isAncestorOf(v.sidebar()));
    QWidget* detail = v.splitter()->widget(1);
    EXPECT_TRUE(detail->isAncestorOf(v.updateBanner()));
    EXPECT_TRUE(detail->isAncestorOf(v.newPluginsBanner()));
    EXPECT_TRUE(detail->isAncestorOf(v.mainContent()));
    EXPECT_FALSE(v.showingError());
    EXPECT_FALSE(v.showingBulkWarning());
    EXPECT_FALSE(v.pendingBulkAction().has_value());
    v.resize(1200, 800);
    v.show();
    EXPECT_EQ(sidebarColumn->width(), 250);
    EXPECT_FALSE(v.updateBanner()->isVisible());
    EXPECT_FALSE(v.newPluginsBanner()->isVisible());
}

TEST_F(ContentViewTest, NavigationTitleNamesTheOneSelectedFormat)
{
    PluginManagerViewModel& model = view().pluginManager();
    EXPECT_EQ(view().navigationTitle(), QStringLiteral("All Plugins"));
    model.setSelectedFormats({PluginFormat::aax});
    EXPECT_EQ(view().navigationTitle(), QStringLiteral("AAX"));
    model.setSelectedFormats({PluginFormat::au});
    EXPECT_EQ(view().navigationTitle(), QStringLiteral("Audio Units"));
    model.setSelectedFormats({PluginFormat::au, PluginFormat::vst3});
    EXPECT_EQ(view().navigationTitle(), QStringLiteral("All Plugins"));
    model.setSelectedFormats({});
    EXPECT_EQ(view().navigationTitle(), QStringLiteral("All Plugins"));
}

// --- Start-up ---

TEST_F(ContentViewTest, FirstStartWithoutProfilesScansAndChecksButOffersNothing)
{
    EXPECT_EQ(db().replaceAllPlugins({record("Old", PluginFormat::vst3, vst3("Old"), true)}),
              QString()); // not a first-ever scan
    enabledBundle(QStringLiteral("Alpha"));
    enabledBundle(QStringLiteral("Beta"));
    ASSERT_TRUE(showAndWaitForStartup());
    EXPECT_TRUE(view().startupSequenceRan());
    EXPECT_EQ(view().pluginManager().plugins().size(), 2);
    EXPECT_EQ(view().pluginManager().newlyDetectedPlugins().size(), 2);
    EXPECT_FALSE(view().newPlugins().showBanner());
    EXPECT_TRUE(view().profileManager().pendingNewPluginKeys().isEmpty());
    // The update check ran alongside.
    RACKHAND_ASSERT_EVENTUALLY_EQ(server.requests().size(), 1, 5000);
    EXPECT_EQ(server.requests().first().path, "/check-update");
    // Shown again (a restore): no second start-up.
    view().hide();
    view().show();
    QTest::qWait(50);
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(ContentViewTest, WithAProfileNewAndStillPendingPluginsAreOffered)
{
    view().profileManager().saveProfile(QStringLiteral("Live"), {});
    const QUuid live = view().profileManager().profiles().first().id;
    EXPECT_EQ(db().replaceAllPlugins({record("Old", PluginFormat::vst3, vst3("Old"), true)}), QString());
    enabledBundle(QStringLiteral("Alpha"));
    disabledBundle(QStringLiteral("Beta"));
    ASSERT_TRUE(showAndWaitForStartup());

    const NewPluginsOffer& offer = view().newPlugins();
    EXPECT_TRUE(offer.showBanner());
    EXPECT_EQ(names(offer.detectedNewPlugins()), (QStringList{"Alpha", "Beta"}));
    EXPECT_EQ(offer.selectedProfiles(), QSet<QUuid>{live});
    EXPECT_EQ(offer.selectedPluginIds().size(), 2);
    EXPECT_EQ(offer.selectedFormats(), QSet<PluginFormat>{PluginFormat::vst3});
    EXPECT_EQ(view().profileManager().pendingNewPluginKeys(), (QSet<QString>{"Alpha|VST3", "Beta|VST3"}));
    EXPECT_TRUE(view().newPluginsBanner()->isVisible());
    EXPECT_TRUE(view().newPluginsBanner()->text().startsWith(QStringLiteral("2 new plugins detected: ")));
    // The banner's button presents the sheet; Escape closes it and keeps the offer.
    RACKHAND_ASSERT_EVENTUALLY_EQ(view().newPluginsBanner()->maximumHeight(), QWIDGETSIZE_MAX, 2000); // slid in
    QTest::qWait(20);
    EXPECT_GE(view().newPluginsBanner()->addButton()->height(), 15);
    QTest::mouseClick(view().newPluginsBanner()->addButton(), Qt::LeftButton);
    ASSERT_NE(view().newPluginsSheet(), nullptr);
    EXPECT_TRUE(view().newPluginsSheet()->isVisible());
    view().newPluginsSheet()->reject();
    EXPECT_EQ(view().newPluginsSheet(), nullptr);
    EXPECT_TRUE(view().newPlugins().showBanner());
    EXPECT_FALSE(view().profileManager().pendingNewPluginKeys().isEmpty());

    // Next start: nothing new, Beta uninstalled; Alpha is still pending and offered again.
    closeView();
    QDir(disabledVst3(QStringLiteral("Beta"))).removeRecursively();
    ASSERT_TRUE(showAndWaitForStartup());
    EXPECT_TRUE(view().pluginManager().newlyDetectedPlugins().isEmpty());
    EXPECT_TRUE(view().newPlugins().showBanner());
    EXPECT_EQ(names(view().newPlugins().detectedNewPlugins()), QStringList{"Alpha"});
}

TEST_F(ContentViewTest, OnboardingShowsUntilASheetHasBeenDismissed)
{
    int built = 0;
    QPointer<QDialog> shown;
    seams.onboardingSheet = [&](const PlatformServices&, QWidget* parent) {
        ++built;
        shown = new QDialog(parent);
        return shown.data();
    };
    EXPECT_TRUE(view().showingOnboarding());
    ASSERT_TRUE(showAndWaitForStartup());
    RACKHAND_ASSERT_EVENTUALLY(shown && shown->isVisible(), 2000);
    EXPECT_EQ(view().onboardingSheet(), shown.data());
    EXPECT_FALSE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").isValid());
    shown->reject(); // closed any way at all
    EXPECT_TRUE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").toBool());
    EXPECT_FALSE(view().showingOnboarding());

    closeView();
    EXPECT_FALSE(view().showingOnboarding());
    ASSERT_TRUE(showAndWaitForStartup());
    QTest::qWait(20);
    EXPECT_EQ(built, 1);
}

TEST_F(ContentViewTest, WithoutAnOnboardingSheetNothingIsShownOrStored)
{
    ASSERT_TRUE(showAndWaitForStartup());
    QTest::qWait(20);
    EXPECT_EQ(view().onboardingSheet(), nullptr);
    EXPECT_TRUE(view().showingOnboarding());
    EXPECT_EQ(defaults->writeCount(DefaultsStore::standardSuite(), "onboardingComplete"), 0);
}

// --- Bulk requests ---

TEST_F(ContentViewTest, BulkConfirmationTextsCountWhatWillChange)
{
    QList<AudioPlugin> all;
    for (int i = 0; i < 13; ++i)
        all.append(
            record(QStringLiteral("Off %1").arg(i), PluginFormat::vst3, vst3(QStringLiteral("Off %1").arg(i)), false));
    all.append(record("On A", PluginFormat::vst3, vst3("On A"), true));
    all.append(record("On B", PluginFormat::vst3, vst3("On B"), true));
    seed(all);
    QList<AudioPlugin> request = view().pluginManager().plugins();
    request.append(request.first()); // a duplicate

    struct Row {
        BulkAction action;
        QString title;
        QString message;
        QString confirm;
    };
    const QList<Row> rows = {
        {BulkAction::enable, "Confirm Bulk Action",
         "You are about to enable 13 plugins. Are you sure you want to continue?", "Continue"},
        {BulkAction::disable, "Confirm Bulk Action",
         "You are about to disable 2 plugins. Are you sure you want to continue?", "Continue"},
        {BulkAction::delete_, QStringLiteral("⚠️ Permanently Delete Plugins"),
         "You are about to permanently delete 15 plugin(s) from your system. This action CANNOT be undone. The "
         "plugin(s) will need to be reinstalled.",
         "Delete Permanently"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title.toStdString() + " " + row.message.toStdString());
        prompter->alerts.clear();
        view().requestBulkConfirmation(row.action, request); // answered Cancel
        ASSERT_EQ(prompter->alerts.size(), 1);
        ASSERT_NO_FATAL_FAILURE(expectConfirmation(prompter->alerts.first(), row.title, row.message, row.confirm,
                                                   Prompter::Role::destructive));
        // Cancel closes the alert and keeps the request until the next one.
        EXPECT_FALSE(view().showingBulkWarning());
        EXPECT_EQ(view().pendingBulkAction(), row.action);
        EXPECT_FALSE(view().pendingPlugins().isEmpty());
    }
    EXPECT_TRUE(loggedActions().isEmpty());

    // Nothing would change: nothing to ask about.
    prompter->alerts.clear();
    view().requestBulkConfirmation(BulkAction::enable, {request[13], request[14]}); // On A, On B
    EXPECT_TRUE(prompter->alerts.isEmpty());

    EXPECT_EQ(ContentView::bulkWarningTitle(std::nullopt), QStringLiteral("Confirm Bulk Action"));
    EXPECT_EQ(ContentView::bulkWarningMessage(std::nullopt, 4), QString());
}

TEST_F(ContentViewTest, ConfirmedRequestsRunAndResetThePendingState)
{
    QList<AudioPlugin> disabled;
    for (int i = 0; i < 11; ++i)
        disabled.append(disabledBundle(QStringLiteral("Synth %1").arg(i, 2, 10, QLatin1Char('0'))));
    const AudioPlugin doomed = enabledBundle(QStringLiteral("Doomed"));
    seed(disabled + QList<AudioPlugin>{doomed});

    prompter->nextAnswers = {1};
    view().requestBulkConfirmation(BulkAction::enable, disabled);
    ASSERT_FALSE(view().pluginManager().error()) << view().pluginManager().error()->detail.toStdString();
    EXPECT_EQ(loggedActions().size(), 11);
    EXPECT_TRUE(loggedActions().first().startsWith(QStringLiteral("Enabled ")));
    EXPECT_EQ(view().pluginManager().dbEnabledCount(), 12);
    EXPECT_FALSE(view().pendingBulkAction().has_value());
    EXPECT_TRUE(view().pendingPlugins().isEmpty());
    EXPECT_FALSE(view().showingBulkWarning());

    prompter->nextAnswers = {1};
    view().requestBulkConfirmation(BulkAction::delete_, {doomed});
    EXPECT_FALSE(QFileInfo::exists(doomed.currentPath));
    EXPECT_EQ(loggedActions().first(), QStringLiteral("Deleted Doomed"));
    EXPECT_EQ(view().pluginManager().dbTotalCount(), 11);
}

TEST_F(ContentViewTest, EnableAndDisableAllKeepOnlyWhatChangesInTheFormat)
{
    const AudioPlugin on = enabledBundle(QStringLiteral("On"));
    const AudioPlugin off = disabledBundle(QStringLiteral("Off"));
    const QString component = sys("/Library/Audio/Plug-Ins/Disabled/Audio Units/Comp.component");
    makeBundle(component);
    AudioPlugin au = record("Comp", PluginFormat::au, sys("/Library/Audio/Plug-Ins/Components/Comp.component"), false);
    au.currentPath = component;
    seed({on, off, au});

    view().enableAllForFormat(PluginFormat::vst3);
    ASSERT_FALSE(view().pluginManager().error());
    EXPECT_EQ(loggedActions(), QStringList{"Enabled Off"});

    // Every plug-in of the format is enabled already: an empty batch, nothing logged.
    view().enableAllForFormat(PluginFormat::vst3);
    EXPECT_FALSE(view().pluginManager().error());
    EXPECT_EQ(loggedActions().size(), 1);

    view().disableAllForFormat(std::nullopt);
    ASSERT_FALSE(view().pluginManager().error());
    EXPECT_EQ(loggedActions().size(), 3);
    EXPECT_EQ(view().pluginManager().dbEnabledCount(), 0);
    EXPECT_TRUE(prompter->alerts.isEmpty());
}

// --- Errors ---

TEST_F(ContentViewTest, EveryOperationErrorRaisesTheErrorAlert)
{
    recordCommands();
    recorder->enqueue(RecordingRunner::failure(QStringLiteral("User cancelled."), 1));
    ASSERT_TRUE(showAndWaitForStartup());
    seed({record("Locked", PluginFormat::vst3, vst3("Locked"), true)});
    prompter->alerts.clear();
    ASSERT_EQ(view().pluginManager().plugins().size(), 1);

    view().pluginManager().togglePlugin(view().pluginManager().plugins().first());
    ASSERT_TRUE(view().pluginManager().error().has_value());
    settle();
    ASSERT_EQ(prompter->alerts.size(), 1);
    const Prompter::Alert& alert = prompter->alerts.first();
    EXPECT_EQ(alert.title, QStringLiteral("Error"));
    EXPECT_EQ(alert.message, view().pluginManager().error()->errorDescription());
    ASSERT_EQ(alert.buttons.size(), 1);
    EXPECT_EQ(alert.buttons.first().text, QStringLiteral("OK"));
    EXPECT_EQ(alert.buttons.first().role, Prompter::Role::cancel);
    EXPECT_FALSE(view().showingError());

    // A later error shows again; clearing shows nothing.
    view().pluginManager().setError(PluginError::fileNotFound(QStringLiteral("/x")));
    settle();
    ASSERT_EQ(prompter->alerts.size(), 2);
    EXPECT_EQ(prompter->alerts.last().message, QStringLiteral("File not found: /x"));
    view().pluginManager().setError(std::nullopt);
    settle();
    EXPECT_EQ(prompter->alerts.size(), 2);
    // Cleared again before the alert could open: the error is still shown.
    view().pluginManager().setError(PluginError::invalidPath(QStringLiteral("/y")));
    view().pluginManager().setError(std::nullopt);
    settle();
    ASSERT_EQ(prompter->alerts.size(), 3);
    EXPECT_EQ(prompter->alerts.last().message, QStringLiteral("Invalid path: /y"));
}

namespace {

// Answers as the scripted prompter does, but turns the event loop while an alert is open, as
// a real modal alert does, and notes how many alerts were open at once.
class ModalPrompter final : public Prompter {
public:
    explicit ModalPrompter(ScriptedPrompter& answers) : m_answers(answers) {}
    int ask(QWidget* parent, const Alert& alert) override
    {
        ++m_open;
        mostOpen = std::max(mostOpen, m_open);
        const int answer = m_answers.ask(parent, alert);
        // Long enough for work queued meanwhile (a scan) to start and to end.
        QTest::qWait(50);
        (void)QTest::qWaitFor([this] { return !model || !model->isLoading(); }, 10000);
        --m_open;
        return answer;
    }
    std::optional<QString> askText(QWidget* parent, const TextRequest& request) override
    {
        return m_answers.askText(parent, request);
    }
    std::optional<QString> chooseOpenFile(QWidget* parent, const QString& title, const QString& filter) override
    {
        return m_answers.chooseOpenFile(parent, title, filter);
    }
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& title, const QString& name,
                                          const QString& filter) override
    {
        return m_answers.chooseSaveFile(parent, title, name, filter);
    }

    const PluginManagerViewModel* model = nullptr; // whose scan an open alert lets finish
    int mostOpen = 0;

private:
    ScriptedPrompter& m_answers;
    int m_open = 0;
};

} // namespace

// The bundles moved, but the catalogue takes neither the batch's rows nor the scan that reads
// the disk again: the user hears of it in one alert, and no alert opens over another.
TEST_F(ContentViewTest, ACatalogueThatCannotBeWrittenAfterABatchGivesOneAlert)
{
    ModalPrompter modal(*prompter);
    viewPrompter = &modal;
    modal.model = &view().pluginManager();
    ASSERT_TRUE(showAndWaitForStartup());
    seed({enabledBundle(QStringLiteral("One")), enabledBundle(QStringLiteral("Two"))});
    prompter->alerts.clear();
    execSql(Paths::dataFile(QStringLiteral("plugins.db")),
            "CREATE TRIGGER full_update BEFORE UPDATE ON plugins BEGIN SELECT RAISE(ABORT, 'disk full'); END;"
            "CREATE TRIGGER full_insert BEFORE INSERT ON plugins BEGIN SELECT RAISE(ABORT, 'disk full'); END;"
            "CREATE TRIGGER full_delete BEFORE DELETE ON plugins BEGIN SELECT RAISE(ABORT, 'disk full'); END;");

    view().pluginManager().toggleMultiplePlugins(view().pluginManager().plugins());
    RACKHAND_ASSERT_EVENTUALLY(!prompter->alerts.isEmpty() && !view().showingError(), 10000);
    settle();
    EXPECT_EQ(modal.mostOpen, 1);
    ASSERT_EQ(prompter->alerts.size(), 1);
    const QString message = prompter->alerts.first().message;
    EXPECT_TRUE(message.startsWith(
        QStringLiteral("Database error: 2 plug-ins were changed on disk, but not everything was recorded:")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\n\nDatabase error: The plug-in list could not be saved: ")))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("Unknown error"))) << message.toStdString();
    closeView();
    viewPrompter = nullptr;
}

TEST_F(ContentViewTest, UnreadableCatalogueIsSetAsideWithAnAlertAndTheScanFillsANewOne)
{
    enabledBundle(QStringLiteral("Alpha"));
    reopenCatalogue([](const QString& path) { writeFile(path, QByteArray(4096, 'x')); });
    ASSERT_TRUE(showAndWaitForStartup());
    settle();
    ASSERT_EQ(prompter->alerts.size(), 1);
    EXPECT_EQ(prompter->alerts.first().title, QStringLiteral("Error"));
    EXPECT_TRUE(prompter->alerts.first().message.startsWith(
        QStringLiteral("Database error: The plug-in list could not be read (file is not a database). It was kept as ") +
        dataDir() + QStringLiteral("/plugins.db.unreadable-")))
        << prompter->alerts.first().message.toStdString();
    EXPECT_EQ(names(view().pluginManager().displayedPlugins()), QStringList{QStringLiteral("Alpha")});
    EXPECT_EQ(names(db().queryPlugins({})), QStringList{QStringLiteral("Alpha")});
}

TEST_F(ContentViewTest, AFailedBulkRunStillResetsThePendingState)
{
    recordCommands();
    recorder->enqueue(RecordingRunner::failure(QStringLiteral("denied"), 1));
    const AudioPlugin plugin = record("Gone", PluginFormat::vst3, vst3("Gone"), true);
    seed({plugin});
    prompter->nextAnswers = {1};
    view().requestBulkConfirmation(BulkAction::delete_, view().pluginManager().plugins());
    EXPECT_TRUE(view().pluginManager().error().has_value());
    EXPECT_FALSE(view().pendingBulkAction().has_value());
    EXPECT_TRUE(view().pendingPlugins().isEmpty());
    settle();
    ASSERT_EQ(prompter->alerts.size(), 2);
    EXPECT_EQ(prompter->alerts.last().title, QStringLiteral("Error"));
}

// --- Reset and the clean-up sheet ---

TEST_F(ContentViewTest, ResetArmsTheSequenceThatOpensTheCleanUpSheet)
{
    view().show();
    view().pluginManager().setSearchText(QStringLiteral("abc"));
    view().onResetTapped();
    EXPECT_EQ(view().pluginManager().searchText(), QString());
    ASSERT_TRUE(view().hiddenKeySequence().isArmed());

    for (const QChar c : QStringLiteral("qxmvbzjr"))
        view().hiddenKeySequence().handleKeyText(QString(c));
    EXPECT_EQ(uad().startCount(), 1);
    EXPECT_EQ(uad().pluginManager(), &view().pluginManager());
    EXPECT_TRUE(uad().showCleanupSheet());
    ASSERT_NE(view().uadCleanupSheet(), nullptr);
    EXPECT_EQ(view().uadCleanupSheet()->size(), QSize(520, 500));
    view().uadCleanupSheet()->reject();
    EXPECT_FALSE(uad().showCleanupSheet());
    EXPECT_EQ(view().uadCleanupSheet(), nullptr);
}

TEST_F(ContentViewTest, TheRealMainContentAreaRaisesConfirmationsAndReset)
{
    seams = ContentViewSeams::defaults();
    seed({});
    auto* main = qobject_cast<MainContentView*>(view().mainContent());
    ASSERT_NE(main, nullptr);
    QList<AudioPlugin> plugins;
    for (int i = 0; i < 12; ++i)
        plugins.append(
            record(QStringLiteral("P%1").arg(i), PluginFormat::vst3, vst3(QStringLiteral("P%1").arg(i)), false));
    seed(plugins);
    Q_EMIT main->bulkConfirmationRequested(BulkAction::enable, view().pluginManager().plugins());
    ASSERT_EQ(prompter->alerts.size(), 1);
    EXPECT_EQ(prompter->alerts.first().message,
              QStringLiteral("You are about to enable 12 plugins. Are you sure you want to continue?"));
    Q_EMIT main->resetTapped();
    EXPECT_TRUE(view().hiddenKeySequence().isArmed());
}

TEST_F(ContentViewTest, ASwitchInTheWholeWindowReadsTheCatalogueThreeTimes)
{
    // The real sidebar, table and bulk pane all follow the switch; none of them reads on its own.
    seams = ContentViewSeams::defaults();
    seams.onboardingSheet = nullptr;
    ASSERT_TRUE(showAndWaitForStartup());
    seed({enabledBundle("A"), enabledBundle("B")});
    PluginManagerViewModel& model = view().pluginManager();
    model.syncSelectionDelta({model.plugins().first().id}, {});
    QStringList reads;
    int writes = 0;
    db().setStatementObserver([&](const QString& sql) {
        if (sql.startsWith(QLatin1String("SELECT")))
            reads << sql;
        else if (sql.startsWith(QLatin1String("UPDATE")))
            ++writes;
    });
    model.togglePlugin(model.plugins().first());
    settle();
    db().setStatementObserver({});
    ASSERT_FALSE(model.error());
    EXPECT_EQ(writes, 1);
    EXPECT_LE(reads.size(), 3) << reads.join(u'\n').toStdString();
    EXPECT_EQ(model.dbDisabledCount(), 1);
    EXPECT_EQ(model.pluginCounts().value(PluginFormat::vst3), 2);
}
