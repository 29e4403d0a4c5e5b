#include "GuiLauncher.h"

#include "AppDelegate.h"

#include <QApplication>
#include <QStyleFactory>

int launchGui(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rackhand"));
    QApplication::setApplicationDisplayName(QStringLiteral("Rackhand"));
    QApplication::setApplicationVersion(QStringLiteral(RACKHAND_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.yourcompany.Rackhand"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    // Closing the main window ends the program; nothing is saved at quit.
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    // Held for the whole event loop.
    AppDelegate delegate(Platform::services());
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
