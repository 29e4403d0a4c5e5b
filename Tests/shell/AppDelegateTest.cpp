#include "shell/AppDelegate.h"

#include "Platform/DefaultsStore.h"
#include "Platform/linux/DBusNotificationCenter.h"
#include "Platform/testing/ScriptedUADControlPanel.h"
#include "Platform/testing/SettableDiskAccessProbe.h"
#include "Support/Eventually.h"
#include "Support/ScreenReaderSession.h"
#include "Support/SessionBus.h"
#include "onboarding/OnboardingPage5.h"
#include "onboarding/OnboardingView.h"
#include "operations/ProgressWindowManager.h"
#include "operations/ui/ProgressPanel.h"
#include "shell/GuiLauncher.h"
#include "shell/ShellFixture.h"
#include "widgets/Prompter.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cstring>
#include <xcb/xcb.h>

namespace {

// Like the onboarding sheet: going away while open counts as closing it.
class ClosingSheet final : public QDialog {
public:
    using QDialog::QDialog;
    ~ClosingSheet() override
    {
        if (isVisible())
            done(QDialog::Rejected);
    }
};

class AppDelegateTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        m_savedVersion = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4.0"));
    }
    void TearDown() override
    {
        delegate.reset();
        QCoreApplication::setApplicationVersion(m_savedVersion);
        ShellTest::TearDown();
    }

    /// A delegate over `platform`, the fixture's prompter and its seams, not launched yet.
    AppDelegate& make(PlatformServices platform)
    {
        delegate = std::make_unique<AppDelegate>(std::move(platform), prompter);
        delegate->setContentViewFactories(seams);
        return *delegate;
    }
    AppDelegate& launch() { return launch(services()); }
    AppDelegate& launch(PlatformServices platform)
    {
        make(std::move(platform)).setContentFactory([] { return new QWidget; });
        delegate->applicationDidFinishLaunching();
        return *delegate;
    }

    /// The program on its first start: the window under the first-start sheet, once shown;
    /// quitting counts in `quits`. Null when the sheet never showed.
    QDialog* launchUnderTheFirstStartSheet(int& quits)
    {
        seams.onboardingSheet = ContentViewSeams::makeOnboardingSheet;
        make(services()).setQuitAction([&quits] { ++quits; });
        delegate->applicationDidFinishLaunching();
        auto* content = qobject_cast<ContentView*>(delegate->window()->centralWidget());
        const bool shown =
            content &&
            QTest::qWaitFor([content] { return content->onboardingSheet() && content->onboardingSheet()->isVisible(); },
                            10000);
        return shown ? content->onboardingSheet() : nullptr;
    }

    /// Titles of a menu's items, separators as "-".
    static QStringList titles(const QMenu* menu)
    {
        QStringList list;
        for (const QAction* a : menu->actions())
            list.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    }

    std::unique_ptr<AppDelegate> delegate;

private:
    QString m_savedVersion;
};

} // namespace

TEST_F(AppDelegateTest, LaunchAnnouncesItselfAndOpensOneWindow)
{
    AppDelegate& app = launch();
    ASSERT_EQ(notifications->posted().size(), 1);
    EXPECT_EQ(notifications->posted().first().name, QStringLiteral("com.yourcompany.Rackhand.appDidLaunch"));
    EXPECT_EQ(notifications->posted().first().userInfo, (QVariantMap{{"version", QStringLiteral("2.4.0")}}));
    ASSERT_NE(app.window(), nullptr);
    EXPECT_EQ(app.window()->windowTitle(), QStringLiteral("Rackhand"));
    EXPECT_EQ(app.window()->size(), QSize(1200, 800));
    EXPECT_TRUE(app.window()->isVisible());
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_TRUE(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    QCoreApplication::setApplicationVersion(QString());
    notifications->clear();
    AppDelegate second(services(), prompter);
    second.setContentFactory([] { return new QWidget; });
    second.applicationDidFinishLaunching();
    ASSERT_EQ(notifications->posted().size(), 1);
    EXPECT_EQ(notifications->posted().first().userInfo.value("version"), QStringLiteral("0"));
}

TEST_F(AppDelegateTest, LaunchInstallsOneProgressPanelThatFollowsLargeBatches)
{
    const auto panels = [] {
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            count += qobject_cast<ProgressPanel*>(w) ? 1 : 0;
        return count;
    };
    launch();
    ASSERT_EQ(panels(), 1);
    delegate.reset();
    launch(); // a second launch in the same process still has one panel
    EXPECT_EQ(panels(), 1);

    ASSERT_NE(delegate->progressPanel(), nullptr);
    ProgressPanel& panel = *delegate->progressPanel();
    delegate->progressWindowManager().show(QStringLiteral("Disabling plugins"), 60);
    EXPECT_TRUE(panel.isVisible());
    delegate->progressWindowManager().hide();
    RACKHAND_ASSERT_EVENTUALLY(!panel.isVisible(), 3000);
}

TEST_F(AppDelegateTest, MenuBarHoldsExactlyTheThreeMenus)
{
    AppDelegate& app = launch();
    const QMenuBar* bar = app.window()->menuBar();
    ASSERT_EQ(bar->actions().size(), 3);
    EXPECT_EQ(titles(bar->actions()[0]->menu()),
              (QStringList{"About Rackhand", "-", "Hide Rackhand", "Hide Others", "Show All", "-",
                           QStringLiteral("Check for Updates…"), "-", "Quit Rackhand"}));
    EXPECT_EQ(bar->actions()[1]->text(), QStringLiteral("Edit"));
    EXPECT_EQ(titles(bar->actions()[1]->menu()),
              (QStringList{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Select All"}));
    EXPECT_EQ(bar->actions()[2]->text(), QStringLiteral("Window"));
    EXPECT_EQ(titles(bar->actions()[2]->menu()), (QStringList{"Minimize", "Zoom", "-", "Close Window"}));

    const QList<std::pair<QString, QKeySequence>> shortcuts = {
        {"About Rackhand", {}},
        {"Hide Rackhand", QKeySequence(Qt::CTRL | Qt::Key_H)},
        {"Hide Others", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_H)},
        {"Show All", {}},
        {QStringLiteral("Check for Updates…"), {}},
        {"Quit Rackhand", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"Undo", QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {"Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        {"Cut", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"Copy", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"Paste", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {"Select All", QKeySequence(Qt::CTRL | Qt::Key_A)},
        {"Minimize", QKeySequence(Qt::CTRL | Qt::Key_M)},
        {"Zoom", {}},
        {"Close Window", QKeySequence(Qt::CTRL | Qt::Key_W)},
    };
    for (const auto& [title, keys] : shortcuts) {
        SCOPED_TRACE(title.toStdString());
        QAction* action = app.menuAction(title);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), keys);
    }
}

TEST_F(AppDelegateTest, ShortcutsReachTheirItems)
{
    AppDelegate& app = launch();
    app.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.window()));
    QSignalSpy hideOthers(app.menuAction("Hide Others"), &QAction::triggered);
    QSignalSpy redo(app.menuAction("Redo"), &QAction::triggered);
    QSignalSpy hide(app.menuAction("Hide Rackhand"), &QAction::triggered);
    QTest::keyClick(app.window(), Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(app.window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(hideOthers.count(), 1);
    EXPECT_EQ(redo.count(), 1);
    EXPECT_EQ(hide.count(), 0);
}

TEST(AppDelegateFrameTest, TheFirstFrameFitsTheScreen)
{
    struct Row {
        const char* name;
        QRect available;
        QRect frame;
    };
    const Row rows[] = {
        {"large screen", QRect(0, 0, 1920, 1080), QRect(360, 140, 1200, 800)},
        {"laptop below a top bar", QRect(0, 28, 1366, 740), QRect(83, 28, 1200, 740)},
        {"small screen", QRect(0, 0, 900, 600), QRect(0, 0, 900, 600)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AppDelegate::initialFrame(row.available), row.frame);
    }
}

// The window is painted once when it first shows: on a platform that exposes it at once, the
// children's own deferred updates used to paint it all again in the same turn.
TEST_F(AppDelegateTest, TheFirstShowPaintsTheWindowOnce)
{
    struct CountingView final : QWidget {
        int paints = 0;
        void paintEvent(QPaintEvent* /*event*/) override { ++paints; }
    };
    CountingView* content = nullptr;
    make(services()).setContentFactory([&content] {
        auto* view = new CountingView;
        auto* layout = new QVBoxLayout(view);
        layout->addWidget(new QLabel(QStringLiteral("Rows")));
        content = view;
        return view;
    });
    // From a turn of the event loop, as the program shows its window once the content is built.
    QTimer::singleShot(0, delegate.get(), [this] { delegate->applicationDidFinishLaunching(); });
    QTest::qWait(150);
    ASSERT_NE(content, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate->window()));
    EXPECT_EQ(content->paints, 1);
}

TEST_F(AppDelegateTest, TheIconIsDrawnAtEverySizeAskedFor)
{
    const QIcon icon = AppDelegate::applicationIcon();
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}}));
    // Drawn sizes, one between them, and the same size twice (from what was drawn before).
    for (const int side : {16, 48, 512, 100, 48}) {
        SCOPED_TRACE(side);
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        // The tile fills the middle; the rounded corner stays see-through.
        EXPECT_EQ(qAlpha(image.pixel(side / 2, side / 2)), 255);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    }
}

TEST_F(AppDelegateTest, TheFrameIsRememberedAcrossLaunches)
{
    AppDelegate& app = launch();
    app.window()->resize(900, 640);
    app.window()->move(40, 30);
    QTest::qWait(50);
    app.window()->close();
    delegate.reset();

    AppDelegate& again = launch();
    EXPECT_EQ(again.window()->size(), QSize(900, 640));
}

TEST_F(AppDelegateTest, ClosingTheWindowOrQuitEndsTheProgram)
{
    AppDelegate& app = launch();
    int quits = 0;
    app.setQuitAction([&quits] { ++quits; });
    app.window()->close();
    RACKHAND_ASSERT_EVENTUALLY_EQ(quits, 1, 2000);
    app.menuAction("Quit Rackhand")->trigger();
    EXPECT_EQ(quits, 2);
}

TEST_F(AppDelegateTest, CheckForUpdatesSaysSoWhenThereIsNone)
{
    AppDelegate& app = launch();
    QSignalSpy finished(&app.updateChecker(), &UpdateChecker::checkFinished);
    app.checkForUpdates(); // returns at once
    EXPECT_TRUE(prompter->alerts.isEmpty());
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(prompter->alerts.size(), 1);
    EXPECT_EQ(prompter->alerts.first().title, QStringLiteral("You're up to date!"));
    EXPECT_EQ(prompter->alerts.first().message, QStringLiteral("Rackhand v2.4.0 is the latest version."));
    ASSERT_EQ(prompter->alerts.first().buttons.size(), 1);
    EXPECT_EQ(prompter->alerts.first().buttons.first().text, QStringLiteral("OK"));

    // Without a version the alert shows "?".
    QCoreApplication::setApplicationVersion(QString());
    app.menuAction(QStringLiteral("Check for Updates…"))->trigger();
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(prompter->alerts.size(), 2);
    EXPECT_EQ(prompter->alerts.last().message, QStringLiteral("Rackhand v? is the latest version."));

    // A check that gets no answer says so rather than claiming the version is current.
    server.close();
    app.checkForUpdates();
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(prompter->alerts.size(), 3);
    EXPECT_EQ(prompter->alerts.last().title, QStringLiteral("Couldn't Check for Updates"));
    EXPECT_TRUE(prompter->alerts.last().message.startsWith(QStringLiteral("The update server could not be reached: ")));
    EXPECT_FALSE(app.updateChecker().lastCheckError().isEmpty());
}

TEST_F(AppDelegateTest, CheckForUpdatesLeavesAnUpdateToTheBanner)
{
    AppDelegate& app = launch();
    server.body = R"({"update_available":true,"latest_version":"2.5.0"})";
    QSignalSpy finished(&app.updateChecker(), &UpdateChecker::checkFinished);
    app.checkForUpdates();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(app.updateChecker().updateAvailable());
    EXPECT_TRUE(prompter->alerts.isEmpty());
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().path, "/check-update");
}

namespace {
/// Receives the launch notification from the session bus.
class BusListener final : public QObject {
    Q_OBJECT
public:
    QStringList names;
    QVariantMap lastUserInfo;
public Q_SLOTS:
    void onNotification(const QString& name, const QVariantMap& userInfo)
    {
        names.append(name);
        lastUserInfo = userInfo;
    }
};
} // namespace

TEST_F(AppDelegateTest, TheLaunchNotificationTravelsOverTheSessionBus)
{
    RACKHAND_REQUIRE_SESSION_BUS();
    QDBusConnection bus = QDBusConnection::sessionBus();
    BusListener listener;
    ASSERT_TRUE(bus.connect(QString(), QString::fromLatin1(DBusNotificationCenter::kObjectPath),
                            QString::fromLatin1(DBusNotificationCenter::kInterface),
                            QString::fromLatin1(DBusNotificationCenter::kMember), &listener,
                            SLOT(onNotification(QString, QVariantMap))));
    PlatformServices s = services();
    s.notificationCenter = std::make_shared<DBusNotificationCenter>();
    launch(s);
    RACKHAND_ASSERT_EVENTUALLY_EQ(listener.names.size(), 1, 5000);
    EXPECT_EQ(listener.names.first(), QStringLiteral("com.yourcompany.Rackhand.appDidLaunch"));
    EXPECT_EQ(listener.lastUserInfo.value("version").toString(), QStringLiteral("2.4.0"));
}

// The root view is built over the first event-loop turns and the window shows once it is
// whole; a part asked for before then is built at once, and the window shows with it.
TEST_F(AppDelegateTest, TheWindowShowsOnceItsRootViewIsWhole)
{
    make(services()).applicationDidFinishLaunching();
    auto* content = qobject_cast<ContentView*>(delegate->window()->centralWidget());
    ASSERT_NE(content, nullptr);
    EXPECT_FALSE(content->isBuilt());
    EXPECT_FALSE(delegate->window()->isVisible());
    RACKHAND_ASSERT_EVENTUALLY(delegate->window()->isVisible(), 10000);
    EXPECT_TRUE(content->isBuilt());
    EXPECT_NE(content->sidebar(), nullptr);
    EXPECT_NE(content->mainContent(), nullptr);

    delegate.reset();
    make(services()).applicationDidFinishLaunching();
    content = qobject_cast<ContentView*>(delegate->window()->centralWidget());
    ASSERT_NE(content, nullptr);
    ASSERT_NE(content->mainContent(), nullptr);
    EXPECT_TRUE(content->isBuilt());
    EXPECT_TRUE(delegate->window()->isVisible());
    EXPECT_TRUE(content->startupSequenceRan());
}

TEST_F(AppDelegateTest, QuittingOverAnOpenOnboardingSheetCountsAsDone)
{
    QPointer<QDialog> shown;
    seams.onboardingSheet = [&](const PlatformServices&, QWidget* parent) {
        shown = new ClosingSheet(parent);
        return shown.data();
    };
    make(services()).applicationDidFinishLaunching();
    RACKHAND_ASSERT_EVENTUALLY(shown && shown->isVisible(), 10000);
    // The sheet sits in the window beside the view whose handler records the answer.
    delegate.reset();
    EXPECT_TRUE(shown.isNull());
    EXPECT_TRUE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").toBool());
}

// The sheet blocks the window and its shortcuts; Quit travels with every sheet, so Ctrl+Q in
// the first-start sheet quits, and the sheet, closed by the quit, counts as done.
TEST_F(AppDelegateTest, CtrlQQuitsWhileTheFirstStartSheetIsUp)
{
    int quits = 0;
    QDialog* sheet = launchUnderTheFirstStartSheet(quits);
    ASSERT_NE(sheet, nullptr);
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    ASSERT_NE(sheet->focusWidget(), nullptr);
    QTest::keyClick(sheet->focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(sheet->isVisible()) << "Ctrl+Q quits; it does not answer the sheet";
    delegate.reset();
    EXPECT_TRUE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").toBool());
}

// A window manager's close request for the window, while the first-start sheet blocks it (Qt
// drops those), still closes the window and so quits; the sheet counts as done. Runs where a
// window manager's requests exist: under X11, in a virtual display.
TEST_F(AppDelegateTest, WindowManagerCloseQuitsOverTheFirstStartSheet)
{
    if (!ScreenReaderSession::inside())
        GTEST_SKIP() << "runs inside a virtual display";
    int quits = 0;
    QDialog* sheet = launchUnderTheFirstStartSheet(quits);
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));

    // What the window manager sends when the window's close button is pressed.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : 0;
        std::free(reply);
        return found;
    };
    xcb_client_message_event_t request;
    std::memset(&request, 0, sizeof request);
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = static_cast<xcb_window_t>(delegate->window()->windowHandle()->winId());
    request.type = atom("WM_PROTOCOLS");
    request.data.data32[0] = atom("WM_DELETE_WINDOW");
    request.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, request.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&request));
    xcb_flush(connection);

    // (QTRY_ macros report to QTest, not here: wait, then check.)
    EXPECT_TRUE(QTest::qWaitFor([&quits] { return quits == 1; }, 5000));
    EXPECT_FALSE(delegate->window()->isVisible());
    delegate.reset();
    EXPECT_TRUE(defaults->value(DefaultsStore::standardSuite(), "onboardingComplete").toBool());
}

TEST_F(AppDelegateTest, UnderAWindowSystem)
{
    RACKHAND_EXPECT_PASSES_WITH_A_SCREEN_READER(QStringLiteral("AppDelegateTest.WindowManager*"), home(),
                                                dataDir() + QStringLiteral("/session"));
}

TEST_F(AppDelegateTest, TheServicesItIsGivenReachTheAccessPageAndTheUADCleanup)
{
    // Doubles of their own, so nothing in force elsewhere can stand in for them.
    PlatformServices platform = services();
    auto probe = std::make_shared<SettableDiskAccessProbe>(true);
    auto desktop = std::make_shared<RecordingWorkspace>();
    auto panel = std::make_shared<ScriptedUADControlPanel>();
    platform.diskAccess = probe;
    platform.workspace = desktop;
    platform.uadControlPanel = panel;
    seams.onboardingSheet = ContentViewSeams::makeOnboardingSheet;
    make(platform).applicationDidFinishLaunching();
    auto* content = qobject_cast<ContentView*>(delegate->window()->centralWidget());
    ASSERT_NE(content, nullptr);

    OnboardingView* sheet = nullptr;
    RACKHAND_ASSERT_EVENTUALLY((sheet = qobject_cast<OnboardingView*>(content->onboardingSheet())) != nullptr, 10000);
    auto* access = qobject_cast<OnboardingPage5*>(sheet->page(5));
    ASSERT_NE(access, nullptr);
    EXPECT_GE(probe->checks(), 1);
    EXPECT_TRUE(access->hasAccess());
    access->openSettings();
    ASSERT_EQ(desktop->opened().size(), 1);
    EXPECT_EQ(desktop->opened().first(), OnboardingPage5::settingsUrl());

    content->uadCleanup().startCleanup();
    RACKHAND_ASSERT_EVENTUALLY_EQ(panel->exportRequests(), 1, 10000);
}

TEST(SecondStartTest, AnotherWindowOnTheDataFolderIsToldInAnAlertWhereOneCanBeSeen)
{
    for (const bool displayShown : {true, false}) {
        SCOPED_TRACE(displayShown);
        ScriptedPrompter prompter;
        tellAlreadyRunning(QStringLiteral("/data/Rackhand"), prompter, displayShown);
        ASSERT_EQ(prompter.alerts.size(), displayShown ? 1 : 0);
        if (displayShown) {
            EXPECT_EQ(prompter.alerts.first().title, QStringLiteral("Rackhand Is Already Running"));
            EXPECT_TRUE(prompter.alerts.first().message.startsWith(
                QStringLiteral("Rackhand is already running on this data folder (/data/Rackhand).")));
        }
    }
}

#include "AppDelegateTest.moc"
