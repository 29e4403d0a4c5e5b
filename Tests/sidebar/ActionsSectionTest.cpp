#include "sidebar/ActionsSection.h"

#include "shell/AlertExpectations.h"
#include "sidebar/ProfileDialogs.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarFixture.h"

class ActionsSectionTest : public SidebarTest {
protected:
    void SetUp() override
    {
        SidebarTest::SetUp();
        m_vst3On1 = plugin(QStringLiteral("Comp One"), PluginFormat::vst3, true);
        m_vst3On2 = plugin(QStringLiteral("Verb"), PluginFormat::vst3, true);
        m_vst3Off = plugin(QStringLiteral("Comp Two"), PluginFormat::vst3, false);
        seed({m_vst3On1, m_vst3On2, m_vst3Off,
              plugin(QStringLiteral("Limiter"), PluginFormat::aax, true, QStringLiteral("Beta")),
              plugin(QStringLiteral("Delay"), PluginFormat::au, false),
              plugin(QStringLiteral("Chorus"), PluginFormat::au, false)});
        vm().setShowAllPlugins(true);
    }

    ActionsSection& actions() { return *sidebar().actionsSection(); }

    AudioPlugin m_vst3On1, m_vst3On2, m_vst3Off;
};

TEST_F(ActionsSectionTest, ConfirmationNamesScopeCountAndButton)
{
    struct Case {
        const char* label;
        QSet<PluginFormat> formats;
        QSet<QString> manufacturers;
        QString search;
        BulkAction action;
        QString title;
        QString message;
        QString button;
        Prompter::Role role;
    };
    const QList<Case> cases{
        {"no filter, enable",
         {},
         {},
         {},
         BulkAction::enable,
         QStringLiteral("Enable All Plugins?"),
         QStringLiteral("This will enable ALL 3 disabled plugins across every format and manufacturer, regardless of "
                        "any active filters."),
         QStringLiteral("Enable All"),
         Prompter::Role::normal},
        {"no filter, delete",
         {},
         {},
         {},
         BulkAction::delete_,
         QStringLiteral("Delete All Plugins?"),
         QStringLiteral("⚠️ This will PERMANENTLY DELETE 6 plugins from your system. This cannot be undone!"),
         QStringLiteral("Delete All"),
         Prompter::Role::destructive},
        {"one format, disable",
         {PluginFormat::vst3},
         {},
         {},
         BulkAction::disable,
         QStringLiteral("Disable All VST3 Plugins?"),
         QStringLiteral("This will disable 2 plugins filtered by: VST3."),
         QStringLiteral("Disable All VST3"),
         Prompter::Role::destructive},
        {"format and maker, delete",
         {PluginFormat::vst3},
         {QStringLiteral("Acme")},
         {},
         BulkAction::delete_,
         QStringLiteral("Delete Filtered Plugins?"),
         QStringLiteral(
             "⚠️ This will PERMANENTLY DELETE 3 plugins filtered by: VST3 + Acme. This cannot be undone!"),
         QStringLiteral("Delete Filtered"),
         Prompter::Role::destructive},
        {"format and maker, enable",
         {PluginFormat::vst3},
         {QStringLiteral("Acme")},
         {},
         BulkAction::enable,
         QStringLiteral("Enable Filtered Plugins?"),
         QStringLiteral("This will enable 1 plugins filtered by: VST3 + Acme."),
         QStringLiteral("Enable Filtered"),
         Prompter::Role::normal},
        {"two formats, disable",
         {PluginFormat::vst3, PluginFormat::au},
         {},
         {},
         BulkAction::disable,
         QStringLiteral("Disable Filtered Plugins?"),
         QStringLiteral("This will disable 2 plugins filtered by: Audio Units, VST3."),
         QStringLiteral("Disable Filtered"),
         Prompter::Role::destructive},
        {"zero matches, enable",
         {PluginFormat::clap},
         {},
         {},
         BulkAction::enable,
         QStringLiteral("Enable All CLAP Plugins?"),
         QStringLiteral("This will enable 0 plugins filtered by: CLAP."),
         QStringLiteral("Enable All CLAP"),
         Prompter::Role::normal},
        {"zero matches, delete",
         {PluginFormat::clap},
         {},
         {},
         BulkAction::delete_,
         QStringLiteral("Delete All CLAP Plugins?"),
         QStringLiteral("⚠️ This will PERMANENTLY DELETE 0 plugins filtered by: CLAP. This cannot be undone!"),
         QStringLiteral("Delete All CLAP"),
         Prompter::Role::destructive},
        // A search alone is a filter: never "ALL ... regardless of any active filters".
        {"search only, disable",
         {},
         {},
         QStringLiteral("Comp"),
         BulkAction::disable,
         QStringLiteral("Disable Filtered Plugins?"),
         QStringLiteral("This will disable 1 plugins filtered by: search \"Comp\"."),
         QStringLiteral("Disable Filtered"),
         Prompter::Role::destructive},
        {"search and one format, delete",
         {PluginFormat::vst3},
         {},
         QStringLiteral("Comp"),
         BulkAction::delete_,
         QStringLiteral("Delete Filtered Plugins?"),
         QStringLiteral(
             "⚠️ This will PERMANENTLY DELETE 2 plugins filtered by: VST3 + search \"Comp\". This cannot "
             "be undone!"),
         QStringLiteral("Delete Filtered"),
         Prompter::Role::destructive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        vm().setSelectedFormats(c.formats);
        vm().setSelectedManufacturers(c.manufacturers);
        vm().setSearchText(c.search);
        m_prompter->alerts.clear();
        m_prompter->nextAnswers = {0}; // Cancel
        actions().button(c.action)->click();
        ASSERT_EQ(m_prompter->alerts.size(), 1);
        ASSERT_NO_FATAL_FAILURE(expectConfirmation(m_prompter->alerts.first(), c.title, c.message, c.button, c.role));
        EXPECT_EQ(actions().buttonLabel(c.action), c.button);
    }
    EXPECT_TRUE(m_enableCalls.isEmpty());
    EXPECT_TRUE(m_disableCalls.isEmpty());
    EXPECT_TRUE(m_runner->commands().isEmpty());
}

TEST_F(ActionsSectionTest, ConfirmedEnableAndDisableHandTheSingleFormatToTheRootView)
{
    vm().setSelectedFormats({PluginFormat::vst3});
    m_prompter->nextAnswers = {1};
    actions().button(BulkAction::enable)->click();
    vm().setSelectedFormats({PluginFormat::vst3, PluginFormat::au});
    m_prompter->nextAnswers = {1};
    actions().button(BulkAction::disable)->click();
    vm().setSelectedFormats({});
    m_prompter->nextAnswers = {1};
    actions().button(BulkAction::disable)->click();
    EXPECT_EQ(m_enableCalls, (QList<std::optional<PluginFormat>>{PluginFormat::vst3}));
    EXPECT_EQ(m_disableCalls, (QList<std::optional<PluginFormat>>{std::nullopt, std::nullopt}));
}

TEST_F(ActionsSectionTest, DeleteRemovesExactlyThePluginsItCounted)
{
    auto hook = std::make_shared<HookPrompter>();
    askThrough(hook);
    vm().setSelectedFormats({PluginFormat::vst3});
    const AudioPlugin arrived = plugin(QStringLiteral("Arrived During Scan"), PluginFormat::vst3, true);
    hook->onAsk = [&](const Prompter::Alert&) {
        // A scan lands while the question is open: the catalogue gains a VST3.
        QList<AudioPlugin> rows = db().queryPlugins({.limit = 1000});
        rows << arrived;
        EXPECT_EQ(db().replaceAllPlugins(rows), QString());
        vm().refreshAllState();
    };
    hook->nextAnswers = {1};
    actions().button(BulkAction::delete_)->click();

    ASSERT_EQ(hook->alerts.size(), 1);
    EXPECT_TRUE(hook->alerts.first().message.contains(QStringLiteral("DELETE 3 plugins")));
    ASSERT_EQ(m_runner->commands().size(), 1);
    const QString command = m_runner->commands().first();
    for (const AudioPlugin& counted : {m_vst3On1, m_vst3On2, m_vst3Off})
        EXPECT_TRUE(command.contains(counted.currentPath)) << counted.name.toStdString();
    EXPECT_FALSE(command.contains(arrived.currentPath));
    EXPECT_EQ(db().getPluginsByIds({arrived.id}).size(), 1);
    EXPECT_TRUE(db().getPluginsByIds({m_vst3On1.id, m_vst3On2.id, m_vst3Off.id}).isEmpty());
}

TEST_F(ActionsSectionTest, DeleteOfZeroMatchesRunsNothing)
{
    vm().setSelectedFormats({PluginFormat::clap});
    m_prompter->nextAnswers = {1};
    actions().button(BulkAction::delete_)->click();
    EXPECT_TRUE(m_runner->commands().isEmpty());
    EXPECT_EQ(db().totalCount({}, {}, {}, {}), 6);
}

TEST_F(ActionsSectionTest, ActionsApplyAndUpdateAreRefusedWhileAnOperationRuns)
{
    profiles().saveProfile(QStringLiteral("Live"), vm().plugins());
    const PluginProfile profile = profiles().profiles().first();
    ProfilesSection& profileSection = *sidebar().profilesSection();
    bool sawDisabledButtons = false;
    m_runner->setOnRun([&](const QString&) {
        if (!vm().isOperationRunning())
            return;
        sawDisabledButtons =
            !actions().button(BulkAction::enable)->isEnabled() && !actions().button(BulkAction::delete_)->isEnabled();
        m_prompter->nextAnswers = {1, 1, 1};
        actions().requestAction(BulkAction::enable);
        actions().requestAction(BulkAction::delete_);
        profileSection.dialogs().apply(profile);
        profileSection.dialogs().update(profile);
    });
    vm().deletePlugins({m_vst3Off}); // one operation, held open while its command runs
    m_runner->setOnRun({});

    EXPECT_TRUE(sawDisabledButtons);
    ASSERT_EQ(m_prompter->alerts.size(), 4);
    for (const Prompter::Alert& alert : m_prompter->alerts)
        EXPECT_EQ(alert.title, QStringLiteral("Operation in Progress"));
    EXPECT_TRUE(m_enableCalls.isEmpty());
    EXPECT_EQ(m_runner->commands().size(), 1); // only the operation that was running
    EXPECT_TRUE(actions().button(BulkAction::enable)->isEnabled());
}

TEST_F(ActionsSectionTest, EveryActionInEveryScope)
{
    // Seeded: VST3 Comp One (on), Verb (on), Comp Two (off); AAX Limiter (on, Beta); AU Delay, Chorus (off).
    struct Scope {
        const char* label;
        QSet<PluginFormat> formats;
        QSet<QString> manufacturers;
        QString search;
        QString suffix;      // after the verb in labels and titles
        QString description; // after "filtered by: "; empty when unfiltered
        int toEnable, toDisable, toDelete;
    };
    const QList<Scope> scopes{
        {"no filter", {}, {}, {}, QStringLiteral(" All"), {}, 3, 3, 6},
        {"one format", {PluginFormat::vst3}, {}, {}, QStringLiteral(" All VST3"), QStringLiteral("VST3"), 1, 2, 3},
        {"format and maker",
         {PluginFormat::vst3},
         {QStringLiteral("Acme")},
         {},
         QStringLiteral(" Filtered"),
         QStringLiteral("VST3 + Acme"),
         1,
         2,
         3},
        {"maker only", {}, {QStringLiteral("Beta")}, {}, QStringLiteral(" Filtered"), QStringLiteral("Beta"), 0, 1, 1},
        {"zero matches",
         {PluginFormat::wavesBundle},
         {},
         {},
         QStringLiteral(" All Waves"),
         QStringLiteral("Waves"),
         0,
         0,
         0},
        {"search only",
         {},
         {},
         QStringLiteral("Comp"),
         QStringLiteral(" Filtered"),
         QStringLiteral("search \"Comp\""),
         1,
         1,
         2},
    };
    for (const Scope& scope : scopes) {
        vm().setSelectedFormats(scope.formats);
        vm().setSelectedManufacturers(scope.manufacturers);
        vm().setSearchText(scope.search);
        const QString filtered = QStringLiteral(" plugins filtered by: ") + scope.description;
        const QList<std::tuple<BulkAction, QString, QString, Prompter::Role>> expected{
            {BulkAction::enable, QStringLiteral("Enable"),
             scope.description.isEmpty()
                 ? QStringLiteral("This will enable ALL %1 disabled plugins across every format and manufacturer, "
                                  "regardless of any active filters.")
                       .arg(scope.toEnable)
                 : QStringLiteral("This will enable %1").arg(scope.toEnable) + filtered + u'.',
             Prompter::Role::normal},
            {BulkAction::disable, QStringLiteral("Disable"),
             scope.description.isEmpty()
                 ? QStringLiteral("This will disable ALL %1 enabled plugins across every format and manufacturer, "
                                  "regardless of any active filters.")
                       .arg(scope.toDisable)
                 : QStringLiteral("This will disable %1").arg(scope.toDisable) + filtered + u'.',
             Prompter::Role::destructive},
            {BulkAction::delete_, QStringLiteral("Delete"),
             scope.description.isEmpty()
                 ? QStringLiteral(
                       "⚠️ This will PERMANENTLY DELETE %1 plugins from your system. This cannot be undone!")
                       .arg(scope.toDelete)
                 : QStringLiteral("⚠️ This will PERMANENTLY DELETE %1").arg(scope.toDelete) + filtered +
                       QStringLiteral(". This cannot be undone!"),
             Prompter::Role::destructive},
        };
        for (const auto& [action, verb, message, role] : expected) {
            SCOPED_TRACE(std::string(scope.label) + " / " + verb.toStdString());
            m_prompter->alerts.clear();
            m_prompter->nextAnswers = {0};
            const QString label = verb + scope.suffix;
            EXPECT_EQ(actions().buttonLabel(action), label);
            EXPECT_EQ(actions().button(action)->accessibleName(), label);
            actions().button(action)->click();
            ASSERT_EQ(m_prompter->alerts.size(), 1);
            ASSERT_NO_FATAL_FAILURE(expectConfirmation(m_prompter->alerts.first(), label + QStringLiteral(" Plugins?"),
                                                       message, label, role));
        }
    }
    EXPECT_TRUE(m_enableCalls.isEmpty());
    EXPECT_TRUE(m_disableCalls.isEmpty());
    EXPECT_TRUE(m_runner->commands().isEmpty());
}
