#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/RackhandBus.h"
#include "shell/ContentViewSeams.h"

#include <QMainWindow>
#include <QObject>
#include <QRect>

#include <functional>
#include <memory>

class ActivityLogManager;
class PluginDatabase;
class ProgressPanel;
class ProgressWindowManager;
class Prompter;
class QAction;
class QMenuBar;
class QTimer;
class QWidget;
class UADCleanupManager;
class UpdateChecker;
struct WindowState;

/// The desktop application's delegate and the window program's composition root: it builds
/// the program's shared objects once (the catalogue, the activity log, the update checker,
/// the progress panel and its state, the UAD clean-up, the window's state objects) and hands
/// them down through constructors. It announces the launch to the menu-bar helper, sets the
/// icon, builds the menus and opens the one main window hosting ContentView. Closing that
/// window quits the program; nothing is saved at quit.
///
/// macOS notions without a Linux counterpart: the activation policy (every Qt program
/// with a window is a regular application), the app menu's missing title (here it is
/// "Rackhand", since an untitled menu would be invisible), "Hide Rackhand" minimises
/// the window, "Hide Others" brings it to the front above other programs, "Show All"
/// restores it.
class AppDelegate final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)
public:
    static constexpr auto kLaunchNotification = RackhandBus::kAppDidLaunch;
    static constexpr auto kFrameAutosaveName = "Rackhand";
    static constexpr int kWindowWidth = 1200;
    static constexpr int kWindowHeight = 800;
    /// The first frame of the window on a screen with this available area.
    static QRect initialFrame(const QRect& available);

    /// The composition root over `services`, asking every question through `prompter`.
    AppDelegate(PlatformServices services, std::shared_ptr<Prompter> prompter, QObject* parent = nullptr);
    ~AppDelegate() override;

    /// Tests replace the window's content (default: a new ContentView).
    void setContentFactory(std::function<QWidget*()> factory) { m_contentFactory = std::move(factory); }
    /// The pieces the root view is built from (default: the real views).
    void setContentViewFactories(ContentViewSeams::Factories factories)
    {
        m_contentViewFactories = std::move(factories);
    }
    /// The window's content over the catalogue, activity log and services of this program;
    /// the state objects under it are built once and kept until the window is gone.
    QWidget* makeContent();

    /// What quitting runs (default: end the event loop); tests observe it.
    void setQuitAction(std::function<void()> quit) { m_quit = std::move(quit); }

    QMainWindow* window() const { return m_window.get(); }
    Prompter& prompter() const { return *m_prompter; }
    UpdateChecker& updateChecker() const { return *m_updateChecker; }
    ProgressWindowManager& progressWindowManager() const { return *m_progress; }
    /// The floating progress panel; null until the launch made it.
    ProgressPanel* progressPanel() const { return m_progressPanel.get(); }

    void applicationDidFinishLaunching();
    /// Always true: closing the main window quits.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }
    /// The "Check for Updates…" item: runs a check; without an update, says so.
    void checkForUpdates();

    /// The version text, "0" when none is set (the launch notification's "version").
    static QString bundleVersion();
    /// The painted application icon.
    static QIcon applicationIcon();

    /// Finds a menu item by its title (tests and accessibility).
    QAction* menuAction(const QString& title) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenuBar();
    void buildAppMenu();
    void buildEditMenu();
    void buildWindowMenu();
    void saveFrame();
    void restoreFrame();
    void showWindow();

    // Destroyed in reverse order: the window and every view in it before the state they show,
    // the state before the catalogue and the log it works on.
    PlatformServices m_services;
    std::shared_ptr<Prompter> m_prompter;
    std::unique_ptr<UpdateChecker> m_updateChecker;
    std::unique_ptr<ProgressWindowManager> m_progress;
    std::unique_ptr<ProgressPanel> m_progressPanel;
    std::unique_ptr<PluginDatabase> m_catalogue;
    std::unique_ptr<ActivityLogManager> m_activityLog;
    std::unique_ptr<UADCleanupManager> m_uadCleanup;
    std::unique_ptr<WindowState> m_state;
    std::unique_ptr<QMainWindow> m_window;
    QMenuBar* m_menuBar = nullptr;
    QAction* m_quitAction = nullptr;
    std::function<QWidget*()> m_contentFactory;
    ContentViewSeams::Factories m_contentViewFactories = ContentViewSeams::defaults();
    std::function<void()> m_quit;
    QTimer* m_frameSaveTimer = nullptr;
};
