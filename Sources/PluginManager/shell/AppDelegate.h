#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/RackhandBus.h"

#include <QMainWindow>
#include <QObject>
#include <QRect>

#include <functional>
#include <memory>

class QAction;
class QMenuBar;
class QTimer;
class QWidget;
class UADCleanupManager;
struct WindowState;

/// The desktop application's delegate: announces the launch to the menu-bar helper,
/// sets the icon, builds the menus and opens the one main window hosting ContentView.
/// Closing that window quits the program; nothing is saved at quit.
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

    /// The composition root: builds the window's state objects on `services` and hands them down.
    explicit AppDelegate(PlatformServices services = Platform::services(), QObject* parent = nullptr);
    ~AppDelegate() override;

    /// Tests replace the window's content (default: a new ContentView).
    void setContentFactory(std::function<QWidget*()> factory) { m_contentFactory = std::move(factory); }
    /// The window's content over the catalogue, activity log and services of this program;
    /// the state objects under it are built once and kept until the window is gone.
    QWidget* makeContent();

    /// What quitting runs (default: end the event loop); tests observe it.
    void setQuitAction(std::function<void()> quit) { m_quit = std::move(quit); }

    QMainWindow* window() const { return m_window.get(); }

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
    void saveFrame();
    void restoreFrame();

    // Destroyed in reverse order: the window and every view in it before the state they show.
    PlatformServices m_services;
    std::unique_ptr<UADCleanupManager> m_uadCleanup;
    std::unique_ptr<WindowState> m_state;
    std::unique_ptr<QMainWindow> m_window;
    QMenuBar* m_menuBar = nullptr;
    QAction* m_quitAction = nullptr;
    std::function<QWidget*()> m_contentFactory;
    std::function<void()> m_quit;
    QTimer* m_frameSaveTimer = nullptr;
};
