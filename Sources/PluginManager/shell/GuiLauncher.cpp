#include "shell/GuiLauncher.h"

#include "Platform/DataFolderLock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"
#include "shell/AppDelegate.h"
#include "shell/SingleInstance.h"
#include "widgets/AppTheme.h"
#include "widgets/Motion.h"
#include "widgets/Prompter.h"

#include <QApplication>
#include <QMainWindow>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

void tellAlreadyRunning(const QString& dataFolder, Prompter& prompter, bool displayShown)
{
    const QString message = QStringLiteral("Rackhand is already running on this data folder (%1). Quit the other "
                                           "Rackhand first; only one may use the folder at a time.")
                                .arg(dataFolder);
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    // Started from a desktop menu, standard error goes nowhere anyone reads.
    if (displayShown)
        prompter.ask(nullptr, {QStringLiteral("Rackhand Is Already Running"),
                               message,
                               {{QStringLiteral("OK"), Prompter::Role::cancel}},
                               Prompter::Style::warning});
}

int launchGui(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rackhand"));
    QApplication::setApplicationDisplayName(QStringLiteral("Rackhand"));
    QApplication::setApplicationVersion(QStringLiteral(RACKHAND_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.yourcompany.Rackhand"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    Motion::adoptDesktopDefault();
    // The style's selection and placeholder colours are faint: every text the style draws reads.
    QApplication::setPalette(AppTheme::legiblePalette(QApplication::palette()));
    // Closing the main window ends the program; nothing is saved at quit.
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    // Every question of the window program goes through this one prompter.
    const std::shared_ptr<Prompter> prompter = Prompts::makeDialogPrompter();
    // One process per data folder, for as long as the window lives: a second one would
    // rewrite the catalogue under the first one's moves.
    const DataFolderLock lock(Paths::dataDir());
    // One window per session: a second start brings the running one to the front.
    SingleInstance instance;
    if (instance.claim() == SingleInstance::Outcome::handedOver) {
        Diagnostics::print(QStringLiteral("🪟 Rackhand is already running: brought its window to the front"));
        return 0;
    }
    if (lock.state() == DataFolderLock::State::heldElsewhere) {
        // Not on this session's bus (another session, or none): nothing to bring forward.
        const QString platform = QGuiApplication::platformName();
        tellAlreadyRunning(Paths::dataDir(), *prompter,
                           platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"));
        return 1;
    }
    if (lock.state() == DataFolderLock::State::unavailable)
        Diagnostics::print(
            QStringLiteral("⚠️ Could not lock the data folder (%1): starting anyway").arg(lock.reason()));

    // Held for the whole event loop.
    AppDelegate delegate(Platform::services(), prompter);
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
