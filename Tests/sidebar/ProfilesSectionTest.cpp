#include "sidebar/ProfilesSection.h"

#include "shell/AlertExpectations.h"
#include "sidebar/ProfileDialogs.h"
#include "sidebar/ProfileRow.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarFixture.h"
#include "sidebar/SidebarTexts.h"
#include "widgets/SectionHeaderButton.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QToolButton>

#include <functional>

class ProfilesSectionTest : public SidebarTest {
protected:
    void SetUp() override
    {
        SidebarTest::SetUp();
        m_a = plugin(QStringLiteral("Alpha"), PluginFormat::vst3, true);
        m_b = plugin(QStringLiteral("Beta"), PluginFormat::vst3, false);
        m_c = plugin(QStringLiteral("Gamma"), PluginFormat::au, true);
        seed({m_a, m_b, m_c});
    }

    ProfilesSection& section() { return *sidebar().profilesSection(); }
    ProfileDialogs& dialogs() { return section().dialogs(); }

    /// A profile saved from the current states with the given plug-ins switched.
    PluginProfile saveFlipped(const QString& name, const QSet<QString>& flippedNames)
    {
        QList<AudioPlugin> list = vm().plugins();
        for (AudioPlugin& p : list) {
            if (flippedNames.contains(p.name))
                p.isEnabled = !p.isEnabled;
        }
        profiles().saveProfile(name, list);
        return profiles().profiles().last();
    }

    QString writeProfileFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = home() + QStringLiteral("/") + name;
        writeFile(path, bytes);
        return path;
    }

    QByteArray profileJson(const QString& name, const QStringList& enabledKeys)
    {
        PluginProfile p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.createdAt = m_clock->now();
        p.enabledPlugins = QSet<QString>(enabledKeys.begin(), enabledKeys.end());
        p.allPluginKeys = p.enabledPlugins;
        p.totalPluginCount = enabledKeys.size();
        return QJsonDocument(p.toJson()).toJson();
    }

    AudioPlugin m_a, m_b, m_c;
};

TEST_F(ProfilesSectionTest, RowsTellHowManyChangesApplyingWouldMake)
{
    section().header()->click();
    EXPECT_EQ(section().countText(), QStringLiteral("0"));
    EXPECT_TRUE(section().isShowingEmptyText());
    EXPECT_TRUE(section().createFromSelectionButton()->isHidden() ||
                !section().createFromSelectionButton()->isVisibleTo(&section()));

    saveFlipped(QStringLiteral("Same"), {});
    saveFlipped(QStringLiteral("One"), {QStringLiteral("Beta")});
    saveFlipped(QStringLiteral("Two"), {QStringLiteral("Alpha"), QStringLiteral("Beta")});
    ASSERT_EQ(section().rows().size(), 3);
    EXPECT_EQ(section().countText(), QStringLiteral("3"));
    EXPECT_FALSE(section().isShowingEmptyText());
    EXPECT_EQ(section().rows()[0]->summaryText(), QStringLiteral("Up to date"));
    EXPECT_EQ(section().rows()[1]->summaryText(), QStringLiteral("1 change to apply"));
    EXPECT_EQ(section().rows()[2]->summaryText(), QStringLiteral("2 changes to apply"));

    // The counts follow the catalogue's states.
    AudioPlugin beta = m_b;
    beta.isEnabled = true;
    db().updatePlugin(beta);
    vm().refreshAllState();
    EXPECT_EQ(section().rows()[0]->summaryText(), QStringLiteral("1 change to apply"));
    EXPECT_EQ(section().rows()[1]->summaryText(), QStringLiteral("Up to date"));

    // Selecting plug-ins shows "Create from Selection".
    vm().syncSelectionDelta({m_a.id, m_c.id}, {});
    EXPECT_TRUE(section().createFromSelectionButton()->isVisibleTo(&section()));
}

TEST_F(ProfilesSectionTest, PreviewStartsAndEndsOnTheRow)
{
    const PluginProfile one = saveFlipped(QStringLiteral("One"), {QStringLiteral("Beta")});
    const PluginProfile two = saveFlipped(QStringLiteral("Two"), {});
    section().header()->click();
    vm().setSelectedFormats({PluginFormat::vst3});
    vm().setSelectedManufacturers({QStringLiteral("Acme")});
    vm().syncSelectionDelta({m_a.id}, {});
    vm().setProfileViewFilter(QStringLiteral("all"));

    section().rows()[0]->previewButton()->click();
    ASSERT_TRUE(vm().activeProfile().has_value());
    EXPECT_EQ(vm().activeProfile()->id, one.id);
    EXPECT_EQ(vm().profileViewFilter(), QStringLiteral("changes"));
    EXPECT_TRUE(vm().persistedSelections().isEmpty());
    EXPECT_TRUE(vm().selectedFormats().isEmpty());
    EXPECT_TRUE(vm().selectedManufacturers().isEmpty());
    EXPECT_TRUE(vm().showAllPlugins());
    EXPECT_EQ(vm().cachedProfileChanges().size(), 1);
    EXPECT_TRUE(section().rows()[0]->isPreviewed());

    section().rows()[1]->previewButton()->click(); // straight to another profile
    EXPECT_EQ(vm().activeProfile()->id, two.id);
    EXPECT_FALSE(section().rows()[0]->isPreviewed());

    section().rows()[1]->previewButton()->click();
    EXPECT_FALSE(vm().activeProfile().has_value());
    EXPECT_FALSE(vm().showAllPlugins());
}

TEST_F(ProfilesSectionTest, SaveTrimsSpacesKeepsLineBreaksAndAsksAgainWhenBlank)
{
    m_prompter->nextTexts = {QStringLiteral(" \t "), QStringLiteral("  Mix \"A/B\" 🎛️\n")};
    section().saveButton()->click();
    ASSERT_EQ(m_prompter->textRequests.size(), 2);
    const Prompter::TextRequest& request = m_prompter->textRequests.first();
    EXPECT_EQ(request.title, QStringLiteral("Save Profile"));
    EXPECT_EQ(request.message, QStringLiteral("Save the current enabled/disabled state of all plugins as a profile."));
    EXPECT_EQ(request.placeholder, QStringLiteral("Profile name"));
    EXPECT_EQ(request.confirmText, QStringLiteral("Save"));
    ASSERT_EQ(profiles().profiles().size(), 1);
    const PluginProfile saved = profiles().profiles().first();
    EXPECT_EQ(saved.name, QStringLiteral("Mix \"A/B\" 🎛️\n"));
    EXPECT_EQ(saved.enabledPlugins, (QSet<QString>{m_a.key(), m_c.key()}));

    m_prompter->nextTexts = {}; // cancelled
    section().saveButton()->click();
    EXPECT_EQ(profiles().profiles().size(), 1);
}

TEST_F(ProfilesSectionTest, CreateFromSelectionEnablesExactlyTheSelection)
{
    vm().syncSelectionDelta({m_b.id}, {});
    m_prompter->nextTexts = {QStringLiteral("Only Beta")};
    section().createFromSelectionButton()->click();
    ASSERT_EQ(m_prompter->textRequests.size(), 1);
    EXPECT_EQ(m_prompter->textRequests.first().title, QStringLiteral("Create Profile from Selection"));
    EXPECT_EQ(m_prompter->textRequests.first().message,
              QStringLiteral("The 1 selected plugins will be marked as enabled. All other plugins will be disabled in "
                             "this profile."));
    EXPECT_EQ(m_prompter->textRequests.first().confirmText, QStringLiteral("Create"));
    ASSERT_EQ(profiles().profiles().size(), 1);
    EXPECT_EQ(profiles().profiles().first().enabledPlugins, QSet<QString>{m_b.key()});
    EXPECT_EQ(profiles().profiles().first().totalPluginCount, 3);
}

TEST_F(ProfilesSectionTest, ApplyMovesTheDifferencesInOneBatchEnablesFirst)
{
    useSandboxRunner();
    const AudioPlugin on1 = plugin(QStringLiteral("On One"), PluginFormat::vst3, true, QStringLiteral("Acme"), true);
    const AudioPlugin on2 = plugin(QStringLiteral("On Two"), PluginFormat::vst3, true, QStringLiteral("Acme"), true);
    const AudioPlugin off1 = plugin(QStringLiteral("Off One"), PluginFormat::vst3, false, QStringLiteral("Acme"), true);
    const AudioPlugin off2 = plugin(QStringLiteral("Off Two"), PluginFormat::vst3, false, QStringLiteral("Acme"), true);
    const AudioPlugin off3 = plugin(QStringLiteral("Off Three"), PluginFormat::au, false, QStringLiteral("Acme"), true);
    seed({on1, on2, off1, off2, off3});
    const PluginProfile flipped =
        saveFlipped(QStringLiteral("Flip"), {on1.name, on2.name, off1.name, off2.name, off3.name});
    section().header()->click();
    EXPECT_EQ(section().rows().first()->summaryText(), QStringLiteral("5 changes to apply"));

    m_prompter->nextAnswers = {1};
    section().rows().first()->applyButton()->click();
    QCoreApplication::processEvents(); // the dialog opens after the click
    ASSERT_EQ(m_prompter->alerts.size(), 1);
    EXPECT_EQ(m_prompter->alerts.first().title, QStringLiteral("Apply Profile?"));
    EXPECT_EQ(m_prompter->alerts.first().message,
              QStringLiteral("Applying \"Flip\" will enable 3 and disable 2 plugins."));
    EXPECT_EQ(m_prompter->alerts.first().buttons.value(1).text, QStringLiteral("Apply"));

    ASSERT_EQ(m_sandboxRunner->commands().size(), 1); // one batch
    EXPECT_FALSE(vm().error().has_value()) << vm().error()->errorDescription().toStdString();
    EXPECT_EQ(section().rows().first()->summaryText(), QStringLiteral("Up to date"));
    const QList<ActivityLogEntry>& log = activityLog().entries();
    ASSERT_EQ(log.size(), 5);
    // Newest first: the two disables were logged after the three enables.
    EXPECT_EQ(log[0].action, ActivityLogEntry::Action::disabled);
    EXPECT_EQ(log[4].action, ActivityLogEntry::Action::enabled);

    // Applying a profile that matches starts nothing.
    m_prompter->nextAnswers = {1};
    section().rows().first()->applyButton()->click();
    QCoreApplication::processEvents(); // the dialog opens after the click
    EXPECT_EQ(m_prompter->alerts.last().message,
              QStringLiteral("Applying \"Flip\" will enable 0 and disable 0 plugins."));
    EXPECT_EQ(m_sandboxRunner->commands().size(), 1);
    Q_UNUSED(flipped);
}

TEST_F(ProfilesSectionTest, UpdateRefreshesThePreviewedCopyOnly)
{
    const PluginProfile previewed = saveFlipped(QStringLiteral("Previewed"), {QStringLiteral("Alpha")});
    const PluginProfile other = saveFlipped(QStringLiteral("Other"), {QStringLiteral("Alpha")});
    section().togglePreview(previewed);

    m_prompter->nextAnswers = {1, 1};
    dialogs().update(other);
    EXPECT_EQ(m_prompter->alerts.first().title, QStringLiteral("Update Profile?"));
    EXPECT_EQ(m_prompter->alerts.first().message, QStringLiteral("Overwrite \"Other\" with the current plugin state?"));
    EXPECT_EQ(vm().activeProfile()->enabledPlugins, previewed.enabledPlugins);
    EXPECT_EQ(profiles().profiles()[1].enabledPlugins, (QSet<QString>{m_a.key(), m_c.key()}));

    dialogs().update(previewed);
    EXPECT_EQ(vm().activeProfile()->enabledPlugins, (QSet<QString>{m_a.key(), m_c.key()}));
    EXPECT_EQ(vm().activeProfile()->name, QStringLiteral("Previewed"));
    EXPECT_EQ(section().rows()[0]->summaryText(), QStringLiteral("Up to date"));
}

TEST_F(ProfilesSectionTest, DeleteGoesThroughTheStoreAndEndsItsPreview)
{
    const PluginProfile keep = saveFlipped(QStringLiteral("Keep"), {});
    const PluginProfile gone = saveFlipped(QStringLiteral("Gone \"soon\""), {});
    section().togglePreview(gone);

    m_prompter->nextAnswers = {0}; // cancel
    dialogs().remove(gone);
    EXPECT_EQ(profiles().profiles().size(), 2);

    m_prompter->nextAnswers = {1};
    section().header()->click();
    section().rows()[1]->deleteButton()->click();
    QCoreApplication::processEvents(); // the dialog opens after the click
    const Prompter::Alert& alert = m_prompter->alerts.last();
    EXPECT_EQ(alert.title, QStringLiteral("Delete Profile?"));
    EXPECT_EQ(alert.message, QStringLiteral("Are you sure you want to delete \"Gone \"soon\"\"?"));
    EXPECT_EQ(alert.buttons.value(1).role, Prompter::Role::destructive);
    EXPECT_FALSE(vm().activeProfile().has_value());
    EXPECT_FALSE(vm().showAllPlugins());
    ASSERT_EQ(profiles().profiles().size(), 1);
    EXPECT_EQ(profiles().profiles().first().id, keep.id);

    // The file on disk agrees: written by the store, a valid array holding only "Keep".
    const QJsonArray stored = QJsonDocument::fromJson(readFile(profiles().profilesPath())).array();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.first().toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Keep"));
    ASSERT_EQ(section().rows().size(), 1);
}

TEST_F(ProfilesSectionTest, BadProfileFilesAreRefusedWithAClearMessage)
{
    QFile huge(home() + QStringLiteral("/huge.json"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(ProfileManager::kMaxImportBytes + 1));
    huge.close();
    struct Case {
        const char* label;
        QString path;
        QString reasonContains;
    };
    const QList<Case> cases{
        {"malformed", writeProfileFile(QStringLiteral("bad.json"), "{\"name\": \"x\", "), QString()},
        {"empty", writeProfileFile(QStringLiteral("empty.json"), ""), QStringLiteral("empty")},
        {"another program's", writeProfileFile(QStringLiteral("other.json"), "{\"tracks\": [1, 2], \"tempo\": 120}"),
         QString()},
        {"an array", writeProfileFile(QStringLiteral("array.json"), "[]"), QString()},
        {"nameless", writeProfileFile(QStringLiteral("blank.json"), profileJson(QStringLiteral(" \t "), {})),
         QStringLiteral("no name")},
        {"huge", huge.fileName(), QStringLiteral("too large")},
        {"missing", home() + QStringLiteral("/nowhere.json"), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_prompter->alerts.clear();
        clearPrintedLines();
        m_prompter->nextFiles = {c.path};
        section().importButton()->click();
        ASSERT_EQ(m_prompter->alerts.size(), 1);
        EXPECT_EQ(m_prompter->alerts.first().title, QStringLiteral("Import Failed"));
        EXPECT_TRUE(m_prompter->alerts.first().message.startsWith(QStringLiteral("Failed to import profile: ")));
        EXPECT_GT(m_prompter->alerts.first().message.size(), QStringLiteral("Failed to import profile: ").size());
        if (!c.reasonContains.isEmpty()) {
            EXPECT_TRUE(m_prompter->alerts.first().message.contains(c.reasonContains))
                << m_prompter->alerts.first().message.toStdString();
        }
        EXPECT_EQ(printedLines(), QStringList{m_prompter->alerts.first().message});
        EXPECT_TRUE(profiles().profiles().isEmpty());
    }

    // Cancelling the chooser does nothing at all.
    m_prompter->alerts.clear();
    section().importButton()->click();
    EXPECT_TRUE(m_prompter->alerts.isEmpty());

    // Keys of formats this program does not know are kept and simply match nothing.
    m_prompter->nextFiles = {writeProfileFile(
        QStringLiteral("future.json"),
        profileJson(QStringLiteral("Future"), {QStringLiteral("Alpha|VST3"), QStringLiteral("Alpha|VST4")}))};
    section().importButton()->click();
    EXPECT_TRUE(m_prompter->alerts.isEmpty());
    ASSERT_EQ(profiles().profiles().size(), 1);
    EXPECT_TRUE(profiles().profiles().first().enabledPlugins.contains(QStringLiteral("Alpha|VST4")));
    EXPECT_EQ(section().rows().first()->summaryText(), QStringLiteral("1 change to apply")); // Gamma would go off
}

TEST_F(ProfilesSectionTest, ExportThenImportRoundTripsWithASafeFileName)
{
    auto hook = std::make_shared<HookPrompter>();
    askThrough(hook);
    m_prompter->nextTexts.clear();
    const QString name = QStringLiteral("Mix \"A/B\"\n🎛️");
    profiles().saveProfile(name, vm().plugins());
    const PluginProfile original = profiles().profiles().first();

    const QString target = home() + QStringLiteral("/exports/mix.json");
    hook->nextFiles = {target};
    section().header()->click();
    section().rows().first()->exportButton()->click();
    QCoreApplication::processEvents(); // the dialog opens after the click
    ASSERT_EQ(hook->proposedNames.size(), 1);
    EXPECT_EQ(hook->proposedNames.first(), QStringLiteral("Mix \"A-B\"-🎛️.json"));
    EXPECT_TRUE(hook->alerts.isEmpty());

    hook->nextFiles = {target};
    section().importButton()->click();
    EXPECT_TRUE(hook->alerts.isEmpty());
    ASSERT_EQ(profiles().profiles().size(), 2);
    const PluginProfile imported = profiles().profiles().last();
    EXPECT_NE(imported.id, original.id);
    EXPECT_EQ(imported.name, original.name);
    EXPECT_EQ(imported.enabledPlugins, original.enabledPlugins);
    EXPECT_EQ(imported.allPluginKeys, original.allPluginKeys);
    EXPECT_EQ(imported.totalPluginCount, original.totalPluginCount);

    // A write that fails is shown, not only printed.
    writeFile(home() + QStringLiteral("/blocker"), "a file, not a folder");
    hook->nextFiles = {home() + QStringLiteral("/blocker/out.json")};
    clearPrintedLines();
    section().rows().first()->exportButton()->click();
    QCoreApplication::processEvents(); // the dialog opens after the click
    ASSERT_EQ(hook->alerts.size(), 1);
    EXPECT_EQ(hook->alerts.first().title, QStringLiteral("Export Failed"));
    EXPECT_TRUE(hook->alerts.first().message.startsWith(QStringLiteral("Export failed: ")));
    EXPECT_EQ(printedLines(), QStringList{hook->alerts.first().message});
}

TEST(ProfileExportFileName, IsMadeSafe)
{
    const QList<std::pair<QString, QString>> cases{
        {QString(), QStringLiteral("profile.json")},
        {QStringLiteral("  \t"), QStringLiteral("profile.json")},
        {QStringLiteral("Live/Studio"), QStringLiteral("Live-Studio.json")},
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), QStringLiteral("a-b.json")},
        {QStringLiteral(".."), QStringLiteral("profile.json")},
        {QStringLiteral("Set.JSON"), QStringLiteral("Set.JSON")},
        {QStringLiteral("🎚️ Mix"), QStringLiteral("🎚️ Mix.json")},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(SidebarTexts::exportFileName(name), expected) << name.toStdString();
}

TEST_F(ProfilesSectionTest, RowControlsAndQuestionsReadAsWritten)
{
    const PluginProfile live = saveFlipped(QStringLiteral("Live"), {});
    section().header()->click();
    ASSERT_EQ(section().rows().size(), 1);
    ProfileRow* row = section().rows().first();
    const QList<std::pair<QToolButton*, QString>> help{
        {row->applyButton(), QStringLiteral("Apply profile")},
        {row->updateButton(), QStringLiteral("Update profile with current state")},
        {row->exportButton(), QStringLiteral("Export profile")},
        {row->deleteButton(), QStringLiteral("Delete profile")}};
    for (const auto& [button, text] : help) {
        EXPECT_EQ(button->toolTip(), text);
        EXPECT_EQ(button->accessibleName(), text);
    }
    EXPECT_EQ(section().saveButton()->accessibleName(), QStringLiteral("Save Current State"));
    EXPECT_EQ(section().createFromSelectionButton()->accessibleName(), QStringLiteral("Create from Selection"));
    EXPECT_EQ(section().importButton()->accessibleName(), QStringLiteral("Import Profile"));

    // The dialogs open after the click has returned.
    const auto clickLater = [](QToolButton* button) {
        return [button] {
            button->click();
            QCoreApplication::processEvents();
        };
    };
    struct Question {
        const char* label;
        std::function<void()> open;
        QString title, message, confirm;
        Prompter::Role role;
    };
    const QList<Question> questions{
        {"apply", clickLater(row->applyButton()), QStringLiteral("Apply Profile?"),
         QStringLiteral("Applying \"Live\" will enable 0 and disable 0 plugins."), QStringLiteral("Apply"),
         Prompter::Role::normal},
        {"update", clickLater(row->updateButton()), QStringLiteral("Update Profile?"),
         QStringLiteral("Overwrite \"Live\" with the current plugin state?"), QStringLiteral("Update"),
         Prompter::Role::normal},
        {"delete", clickLater(row->deleteButton()), QStringLiteral("Delete Profile?"),
         QStringLiteral("Are you sure you want to delete \"Live\"?"), QStringLiteral("Delete"),
         Prompter::Role::destructive},
    };
    for (const Question& q : questions) {
        SCOPED_TRACE(q.label);
        m_prompter->alerts.clear();
        m_prompter->nextAnswers = {0}; // Cancel changes nothing
        q.open();
        ASSERT_EQ(m_prompter->alerts.size(), 1);
        ASSERT_NO_FATAL_FAILURE(expectConfirmation(m_prompter->alerts.first(), q.title, q.message, q.confirm, q.role));
        ASSERT_EQ(profiles().profiles().size(), 1);
        EXPECT_EQ(profiles().profiles().first().id, live.id);
    }

    // From an empty selection: the explanation counts 0 and the profile enables nothing.
    m_prompter->nextTexts = {QStringLiteral("Nothing")};
    dialogs().createFromSelection();
    ASSERT_EQ(m_prompter->textRequests.size(), 1);
    const Prompter::TextRequest& request = m_prompter->textRequests.first();
    EXPECT_EQ(request.title, QStringLiteral("Create Profile from Selection"));
    EXPECT_EQ(request.message, QStringLiteral("The 0 selected plugins will be marked as enabled. All other plugins "
                                              "will be disabled in this profile."));
    EXPECT_EQ(request.placeholder, QStringLiteral("Profile name"));
    EXPECT_EQ(request.confirmText, QStringLiteral("Create"));
    ASSERT_EQ(profiles().profiles().size(), 2);
    EXPECT_TRUE(profiles().profiles().last().enabledPlugins.isEmpty());
    EXPECT_EQ(profiles().profiles().last().allPluginKeys.size(), 3);
}

TEST_F(ProfilesSectionTest, NamesWithLineBreaksShowOnOneLine)
{
    saveFlipped(QStringLiteral("Two\nlines\r\nhere"), {});
    section().header()->click();
    ASSERT_EQ(section().rows().size(), 1);
    EXPECT_EQ(section().rows().first()->nameText(), QStringLiteral("Two lines here"));
    EXPECT_EQ(profiles().profiles().first().name, QStringLiteral("Two\nlines\r\nhere")); // stored as given
}
