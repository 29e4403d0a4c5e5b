#include "Platform/MenuBarLoginItem.h"
#include "Platform/linux/XdgAutostartLoginItem.h"
#include "Platform/testing/RecordingLoginItem.h"
#include "Support/Eventually.h"
#include "Support/SandboxTest.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

class XdgAutostartLoginItemTest : public SandboxTest {
protected:
    QString autostartDir() const { return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart"); }
    QString entryPath() const
    {
        return autostartDir() + QStringLiteral("/com.yourcompany.Rackhand.helper-agent.desktop");
    }
};

class MenuBarLoginItemTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        login = std::make_shared<RecordingLoginItem>();
        helper = home() + QStringLiteral("/bin/RackhandHelper");
        writeFile(helper, "#!/bin/sh\n");
        MenuBarLoginItem::setHelperPathOverride(helper);
    }
    void TearDown() override
    {
        MenuBarLoginItem::setHelperPathOverride({});
        SandboxTest::TearDown();
    }
    std::shared_ptr<RecordingLoginItem> login;
    QString helper;
};

} // namespace

TEST_F(XdgAutostartLoginItemTest, RegisteringWritesTheEntryCreatingTheFolderAndUnregisteringRemovesIt)
{
    XdgAutostartLoginItem item(QStringLiteral("com.yourcompany.Rackhand.helper-agent"),
                               QStringLiteral("/opt/rack hand/bin/RackhandHelper"), QStringLiteral("RackhandHelper"));
    EXPECT_EQ(item.entryPath(), entryPath());
    ASSERT_FALSE(QFileInfo::exists(autostartDir()));
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);

    EXPECT_EQ(item.registerItem(), QString());
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
    const QString text = QString::fromUtf8(readFile(entryPath()));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=Application\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"/opt/rack hand/bin/RackhandHelper\"\n")));

    EXPECT_EQ(item.unregisterItem(), QString());
    EXPECT_FALSE(QFileInfo::exists(entryPath()));
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_EQ(item.unregisterItem(), QString()); // already off: nothing to do
}

// A desktop switches a login item off by marking its entry; the switch reads off, and switching
// it on again writes an entry that counts as on.
TEST_F(XdgAutostartLoginItemTest, AnEntryMarkedOffReadsOffAndRegisteringRewritesIt)
{
    struct Case {
        const char* name;
        const char* contents;
        LoginItem::Status expected;
    };
    const Case cases[] = {
        {"hidden", "[Desktop Entry]\nType=Application\nExec=x\nHidden=true\n", LoginItem::Status::notRegistered},
        {"gnome off", "[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n", LoginItem::Status::notRegistered},
        {"hidden false", "[Desktop Entry]\nExec=x\nHidden=false\n", LoginItem::Status::enabled},
        {"other group", "[Desktop Entry]\nExec=x\n[Desktop Action x]\nHidden=true\n", LoginItem::Status::enabled},
    };
    XdgAutostartLoginItem item(QStringLiteral("com.yourcompany.Rackhand.helper-agent"), QStringLiteral("/x/H"),
                               QStringLiteral("H"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(entryPath(), c.contents);
        EXPECT_EQ(item.status(), c.expected);
        EXPECT_EQ(item.registerItem(), QString());
        EXPECT_EQ(item.status(), LoginItem::Status::enabled);
        EXPECT_FALSE(QString::fromUtf8(readFile(entryPath())).contains(QStringLiteral("Hidden=true")));
    }
}

TEST_F(XdgAutostartLoginItemTest, AnUnwritableEntryGivesAClearReason)
{
    makeDir(autostartDir());
    QFile::setPermissions(autostartDir(), QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(autostartDir()).isWritable()) {
        // Rights that ignore folder permissions (root): block the entry's name with a folder instead.
        QFile::setPermissions(autostartDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        makeDir(entryPath() + QStringLiteral("/occupied"));
    }
    XdgAutostartLoginItem item(QStringLiteral("com.yourcompany.Rackhand.helper-agent"), QStringLiteral("/x/H"),
                               QStringLiteral("H"));
    const QString problem = item.registerItem();
    QFile::setPermissions(autostartDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(problem.startsWith(QStringLiteral("Could not write ") + entryPath() + QStringLiteral(": ")))
        << problem.toStdString();
}

TEST_F(XdgAutostartLoginItemTest, AConfigFolderThatIsAFileGivesAClearReason)
{
    writeFile(autostartDir(), "not a folder");
    XdgAutostartLoginItem item(QStringLiteral("id"), QStringLiteral("/x/H"), QStringLiteral("H"));
    EXPECT_EQ(item.registerItem(), QStringLiteral("Could not create the autostart folder ") + autostartDir());
}

TEST(XdgAutostartExecQuoting, EscapesReservedCharacters)
{
    EXPECT_EQ(XdgAutostartLoginItem::quoteExecArgument(QStringLiteral("/a/b")), QStringLiteral("\"/a/b\""));
    EXPECT_EQ(XdgAutostartLoginItem::quoteExecArgument(QStringLiteral("/a$b`c\"d")),
              QStringLiteral("\"/a\\\\$b\\\\`c\\\\\"d\""));
    EXPECT_EQ(XdgAutostartLoginItem::quoteExecArgument(QStringLiteral("/100%")), QStringLiteral("\"/100%%\""));
    EXPECT_EQ(XdgAutostartLoginItem::quoteExecArgument(QStringLiteral("/a\\b")), QStringLiteral("\"/a\\\\\\\\b\""));
}

TEST_F(MenuBarLoginItemTest, SwitchingOnRegistersAndStartsTheHelperHalfASecondLater)
{
    EXPECT_FALSE(MenuBarLoginItem::isEnabled(login));
    MenuBarLoginItem::setEnabled(login, true);
    EXPECT_TRUE(MenuBarLoginItem::isEnabled(login));
    EXPECT_EQ(login->registerCalls, 1);
    EXPECT_TRUE(login->launches.isEmpty()); // not yet
    QTest::qWait(200);
    EXPECT_TRUE(login->launches.isEmpty());
    RACKHAND_ASSERT_EVENTUALLY_EQ(login->launches, QStringList{helper}, 2000);
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST_F(MenuBarLoginItemTest, RunningHelpersDecideWhatIsStopped)
{
    const QString embedded = QStringLiteral("<embedded>");
    struct Row {
        const char* name;
        QList<LoginItem::RunningHelper> running;
        QList<qint64> quits;
        bool launches;
    };
    const QList<Row> rows = {
        {"the embedded helper already runs", {{11, embedded}}, {}, false},
        {"one from elsewhere", {{12, QStringLiteral("/usr/local/bin/RackhandHelper")}}, {12}, true},
        {"two, one of them embedded", {{13, embedded}, {14, QStringLiteral("/opt/RackhandHelper")}}, {13, 14}, true},
        {"one without a readable path", {{15, QString()}}, {15}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        login->quitRequests.clear();
        login->launches.clear();
        login->running = row.running;
        for (LoginItem::RunningHelper& running : login->running) {
            if (running.executablePath == embedded)
                running.executablePath = helper;
        }
        MenuBarLoginItem::launchHelperNow(login);
        EXPECT_EQ(login->quitRequests, row.quits);
        QTest::qWait(MenuBarLoginItem::kLaunchDelayMs + 150);
        EXPECT_EQ(login->launches, row.launches ? QStringList{helper} : QStringList{});
    }
}

TEST_F(MenuBarLoginItemTest, TheStartWaitsForAHelperSlowToQuit)
{
    // Started while the old one still holds the session's helper name, the new helper would step aside.
    login->helpersIgnoreQuit = true;
    login->running = {{41, QStringLiteral("/elsewhere/RackhandHelper")}};
    MenuBarLoginItem::launchHelperNow(login);
    EXPECT_EQ(login->quitRequests, QList<qint64>{41});
    QTest::qWait(MenuBarLoginItem::kLaunchDelayMs + 300);
    EXPECT_TRUE(login->launches.isEmpty());
    login->running.clear();
    RACKHAND_ASSERT_EVENTUALLY_EQ(login->launches, QStringList{helper}, 2000);
}

TEST_F(MenuBarLoginItemTest, AHelperThatNeverQuitsDelaysTheStartOnlyForAWhile)
{
    login->helpersIgnoreQuit = true;
    login->running = {{42, QStringLiteral("/elsewhere/RackhandHelper")}};
    MenuBarLoginItem::launchHelperNow(login);
    RACKHAND_ASSERT_EVENTUALLY_EQ(login->launches, QStringList{helper},
                                  MenuBarLoginItem::kLaunchDelayMs + MenuBarLoginItem::kQuitWaitMs + 2000);
}

TEST_F(MenuBarLoginItemTest, SwitchingOffUnregistersAndStopsEveryHelper)
{
    login->currentStatus = LoginItem::Status::enabled;
    login->running = {{21, helper}, {22, QStringLiteral("/elsewhere/RackhandHelper")}};
    MenuBarLoginItem::setEnabled(login, false);
    EXPECT_EQ(login->unregisterCalls, 1);
    EXPECT_FALSE(MenuBarLoginItem::isEnabled(login));
    EXPECT_EQ(login->quitRequests, (QList<qint64>{21, 22}));
    QTest::qWait(MenuBarLoginItem::kLaunchDelayMs + 100);
    EXPECT_TRUE(login->launches.isEmpty());
}

TEST_F(MenuBarLoginItemTest, FailuresPrintOneLineAndStartOrStopNothing)
{
    login->registerFailure = QStringLiteral("Could not write /x: denied");
    login->running = {{31, QStringLiteral("/elsewhere/RackhandHelper")}};
    MenuBarLoginItem::setEnabled(login, true);
    EXPECT_EQ(printedLines(),
              QStringList{QStringLiteral("MenuBarLoginItem: Failed to register: Could not write /x: denied")});
    EXPECT_TRUE(login->quitRequests.isEmpty());

    clearPrintedLines();
    login->unregisterFailure = QStringLiteral("Could not remove /x: busy");
    MenuBarLoginItem::setEnabled(login, false);
    EXPECT_EQ(printedLines(),
              QStringList{QStringLiteral("MenuBarLoginItem: Failed to unregister: Could not remove /x: busy")});
    EXPECT_TRUE(login->quitRequests.isEmpty());
    QTest::qWait(MenuBarLoginItem::kLaunchDelayMs + 100);
    EXPECT_TRUE(login->launches.isEmpty());
}

TEST_F(MenuBarLoginItemTest, AMissingHelperIsReportedAndNothingIsLaunched)
{
    MenuBarLoginItem::setHelperPathOverride(home() + QStringLiteral("/nowhere/RackhandHelper"));
    login->running = {{41, QStringLiteral("/elsewhere/RackhandHelper")}};
    MenuBarLoginItem::setEnabled(login, true);
    EXPECT_EQ(login->registerCalls, 1);
    EXPECT_EQ(printedLines(), QStringList{QStringLiteral("MenuBarLoginItem: Helper not found at ") + home() +
                                          QStringLiteral("/nowhere/RackhandHelper")});
    EXPECT_TRUE(login->quitRequests.isEmpty());
    QTest::qWait(MenuBarLoginItem::kLaunchDelayMs + 100);
    EXPECT_TRUE(login->launches.isEmpty());
}

TEST(MenuBarLoginItemDefaults, TheHelperSitsBesideTheProgram)
{
    EXPECT_EQ(MenuBarLoginItem::helperPath(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/RackhandHelper"));
}
