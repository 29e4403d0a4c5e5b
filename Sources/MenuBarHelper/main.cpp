#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "MenuBarHelper/StatusItem.h"
#include "MenuBarHelper/snapshots/DAWPrefsMenus.h"
#include "Platform/Diagnostics.h"
#include "Platform/PlatformServices.h"
#include "Platform/RackhandBus.h"
#include "widgets/AppTheme.h"

#include <QApplication>

#include <cstdio>

// The tray helper: no window, only a tray icon and its menu. Its log lines go to
// standard error, as a login item's output ends up in the session's log.
int main(int argc, char** argv)
{
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
        std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
        std::fflush(stderr);
    });

    MenuBarAppDelegate delegate(Platform::services());
    // The workstation preference submenus live as long as the menus that call into them.
    DAWPrefsMenus preferenceMenus(Platform::services().workspace, [&delegate] { delegate.rebuildMenu(); });
    delegate.setPreferenceMenus([&preferenceMenus] { return preferenceMenus.menus(); });
    StatusItem statusItem(delegate);
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
