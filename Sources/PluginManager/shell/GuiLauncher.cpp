#include "shell/GuiLauncher.h"

#include "Platform/Diagnostics.h"
#include "shell/AppDelegate.h"
#include "shell/SingleInstance.h"
#include "widgets/AppTheme.h"

#include <QApplication>
#include <QMainWindow>
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
    // The style's selection and placeholder colours are faint: every text the style draws reads.
    QApplication::setPalette(AppTheme::legiblePalette(QApplication::palette()));
    // Closing the main window ends the program; nothing is saved at quit.
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    // One window per session: a second start brings the running one to the front.
    SingleInstance instance;
    if (instance.claim() == SingleInstance::Outcome::handedOver) {
        Diagnostics::print(QStringLiteral("🪟 Rackhand is already running: brought its window to the front"));
        return 0;
    }

    // Held for the whole event loop.
    AppDelegate delegate(Platform::services());
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, [&delegate] {
        QMainWindow* window = delegate.window();
        if (!window)
            return;
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
    });
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
