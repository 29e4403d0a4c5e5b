#include "MenuBarHelper/HelperInstance.h"
#include "MenuBarHelper/HelperLog.h"
#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "MenuBarHelper/StatusItem.h"
#include "MenuBarHelper/snapshots/DAWPrefsMenus.h"
#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"
#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"
#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"
#include "Platform/Diagnostics.h"
#include "Platform/PlatformServices.h"
#include "Platform/RackhandBus.h"
#include "widgets/AppTheme.h"
#include "widgets/Prompter.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

// The tray helper: no window, only a tray icon and its menu. Its log lines go to
// standard error, as a login item's output ends up in the session's log, each with the
// helper's prefix, lines of the platform layer included. This is the helper's composition
// root: its services, prompter and snapshot stores are built here, once, and handed down.
int main(int argc, char** argv)
{
    // Past a file-size limit a write then fails with EFBIG, and the snapshot stores undo and say
    // so, instead of the signal ending the helper half-way through its file work.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RackhandHelper"));
    QApplication::setApplicationDisplayName(QStringLiteral("Rackhand"));
    QApplication::setApplicationVersion(QStringLiteral(RACKHAND_VERSION));
    QApplication::setDesktopFileName(QString::fromLatin1(RackhandBus::kHelperDesktopId));
    // The menu's highlighted item reads as every other text does.
    QApplication::setPalette(AppTheme::legiblePalette(QApplication::palette()));
    // Dialogs of the menu's actions close without ending the helper.
    QApplication::setQuitOnLastWindowClosed(false);
    Diagnostics::setSink([](const QString& line) {
        std::fputs((HelperLog::withPrefix(line) + QLatin1Char('\n')).toUtf8().constData(), stderr);
        std::fflush(stderr);
    });
    // One helper per session: a second start ends here, before it shows an icon or watches.
    HelperInstance instance;
    if (instance.claim() == HelperInstance::Outcome::alreadyRunning)
        return 0;
    QObject::connect(&instance, &HelperInstance::quitRequested, &app, &QCoreApplication::quit);

    const PlatformServices& services = Platform::services();
    const std::shared_ptr<Prompter> prompter = Prompts::makeDialogPrompter();
    const auto files = std::make_shared<SnapshotFiles>();
    const SnapshotStores stores{std::make_shared<LogicProPrefsManager>(services.clock, files),
                                std::make_shared<ProToolsPrefsManager>(services.clock, files),
                                std::make_shared<StudioOnePrefsManager>(services.clock, files)};
    // The process-wide accessors name these; everything below is handed them instead.
    LogicProPrefsManager::setShared(stores.logicPro);
    ProToolsPrefsManager::setShared(stores.proTools);
    StudioOnePrefsManager::setShared(stores.studioOne);

    MenuBarAppDelegate delegate(services);
    // The workstation preference submenus live as long as the menus that call into them.
    DAWPrefsMenus preferenceMenus(stores, *prompter, services.workspace, [&delegate] { delegate.rebuildMenu(); });
    delegate.setPreferenceMenus([&preferenceMenus] { return preferenceMenus.menus(); });
    StatusItem statusItem(delegate);
    delegate.applicationDidFinishLaunching();
    // A restore that an earlier run was cut off in is finished or undone first thing.
    QTimer::singleShot(0, &app, [&preferenceMenus] { preferenceMenus.recoverInterruptedRestores(); });
    return QApplication::exec();
}
