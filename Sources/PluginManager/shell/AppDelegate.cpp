#include "shell/AppDelegate.h"

#include "Platform/DefaultsStore.h"
#include "Platform/MenuBarLoginItem.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/CatalogueSchema.h"
#include "catalogue/PluginDatabase.h"
#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "operations/ProgressWindowManager.h"
#include "operations/ui/ProgressPanel.h"
#include "shell/BlockedCloseRequests.h"
#include "shell/ContentView.h"
#include "shell/UpdateChecker.h"
#include "shell/WindowState.h"
#include "uadcleanup/UADCleanupManager.h"
#include "widgets/AppTheme.h"
#include "widgets/Prompter.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QHash>
#include <QIconEngine>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

const auto kFrameKey = QStringLiteral("NSWindow Frame Rackhand");

// The Edit items travel to the focused widget, like actions along a responder chain.
void sendToFocus(const char* slot)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    const QMetaObject* meta = focus->metaObject();
    const QByteArray signature = QByteArray(slot) + "()";
    if (meta->indexOfMethod(signature.constData()) >= 0)
        QMetaObject::invokeMethod(focus, slot);
}

// A menu item with its shortcut, running `action` with `context` alive.
template <typename Action>
QAction* addMenuItem(QObject* context, QMenu* menu, const QString& title, const QKeySequence& keys, Action&& action)
{
    QAction* item = menu->addAction(title);
    item->setShortcut(keys);
    QObject::connect(item, &QAction::triggered, context, std::forward<Action>(action));
    return item;
}

} // namespace

AppDelegate::AppDelegate(PlatformServices services, std::shared_ptr<Prompter> prompter, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_prompter(std::move(prompter)),
      m_updateChecker(std::make_unique<UpdateChecker>()), m_progress(std::make_unique<ProgressWindowManager>()),
      m_quit([] { QCoreApplication::quit(); })
{
    Q_ASSERT_X(m_prompter, "AppDelegate", "the start-up hands in the prompter");
    if (!m_prompter)
        m_prompter = Prompts::makeDialogPrompter();
    // The process-wide accessors name what this root built; below it, everything is handed its own.
    UpdateChecker::setShared(m_updateChecker.get());
    ProgressWindowManager::setShared(m_progress.get());
    if (m_services.loginItem)
        MenuBarLoginItem::setService(m_services.loginItem);
}

QWidget* AppDelegate::makeContent()
{
    if (!m_state) {
        m_catalogue =
            std::make_unique<PluginDatabase>(Paths::dataFile(QString::fromLatin1(CatalogueSchema::kFileName)));
        m_activityLog = std::make_unique<ActivityLogManager>(m_services.clock);
        PluginDatabase::setShared(m_catalogue.get());
        ActivityLogManager::setShared(m_activityLog.get());
        m_uadCleanup = std::make_unique<UADCleanupManager>(*m_catalogue, m_services.uadControlPanel);
        auto viewModel =
            std::make_unique<PluginManagerViewModel>(*m_catalogue, *m_activityLog, *m_progress, m_services);
        m_state = std::make_unique<WindowState>(std::move(viewModel), *m_updateChecker,
                                                std::make_unique<ProfileManager>(), *m_uadCleanup);
    }
    return new ContentView(*m_state, *m_prompter, m_contentViewFactories);
}

AppDelegate::~AppDelegate()
{
    // The window's children are removed during its destruction; the filter must not
    // look at a half-destroyed window then.
    if (m_window)
        m_window->removeEventFilter(this);
    if (m_services.loginItem)
        MenuBarLoginItem::clearService(m_services.loginItem.get());
    UpdateChecker::clearShared(m_updateChecker.get());
    ProgressWindowManager::clearShared(m_progress.get());
    PluginDatabase::clearShared(m_catalogue.get());
    ActivityLogManager::clearShared(m_activityLog.get());
}

QString AppDelegate::bundleVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("0") : version;
}

namespace {

/// Draws the program's icon at one size.
QPixmap paintApplicationIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
    QLinearGradient gradient(tile.topLeft(), tile.bottomRight());
    gradient.setColorAt(0, AppTheme::accentPurple());
    gradient.setColorAt(1, AppTheme::brandPink());
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, size * 0.2, size * 0.2);
    // Three faders: the rack of plug-ins.
    painter.setBrush(QColor(255, 255, 255, 230));
    const qreal slot = tile.width() / 4;
    const qreal knobs[3] = {0.35, 0.62, 0.45};
    for (int i = 0; i < 3; ++i) {
        const qreal x = tile.left() + slot * (i + 0.75);
        const QRectF track(x, tile.top() + tile.height() * 0.2, slot * 0.5 * 0.35, tile.height() * 0.6);
        painter.setBrush(QColor(255, 255, 255, 110));
        painter.drawRoundedRect(track.adjusted(slot * 0.06, 0, slot * 0.06, 0), track.width() / 2, track.width() / 2);
        painter.setBrush(QColor(255, 255, 255, 240));
        const qreal ky = track.top() + track.height() * knobs[i];
        painter.drawRoundedRect(QRectF(x - slot * 0.1, ky - slot * 0.12, slot * 0.38, slot * 0.24), slot * 0.06,
                                slot * 0.06);
    }
    painter.end();
    return pixmap;
}

/// The icon's sizes are drawn when first asked for, not at start-up: drawing all of them
/// up to 512 px held the window's first paint back.
class ApplicationIconEngine final : public QIconEngine {
public:
    static constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256, 512};
    static constexpr int kLargestListedSize = 128;

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        Q_UNUSED(mode);
        Q_UNUSED(state);
        // The smallest drawn size that covers the request, as an icon of fixed pixmaps picks.
        const int wanted = std::max(size.width(), size.height());
        int chosen = kSizes[std::size(kSizes) - 1];
        for (const int candidate : kSizes) {
            if (candidate >= wanted) {
                chosen = candidate;
                break;
            }
        }
        auto it = m_drawn.find(chosen);
        if (it == m_drawn.end())
            it = m_drawn.insert(chosen, paintApplicationIcon(chosen));
        if (it->size() == size)
            return *it;
        return it->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        Q_UNUSED(mode);
        Q_UNUSED(state);
        const int side = std::min({size.width(), size.height(), kSizes[std::size(kSizes) - 1]});
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        Q_UNUSED(mode);
        Q_UNUSED(state);
        // The sizes a window manager is handed (X11 sends every listed size to the server when
        // the window is made): up to 128 px, as the larger ones held the window's show back
        // some 30 ms. Larger sizes are still drawn when asked for.
        QList<QSize> sizes;
        for (const int side : kSizes) {
            if (side <= kLargestListedSize)
                sizes.append(QSize(side, side));
        }
        return sizes;
    }

    [[nodiscard]] QIconEngine* clone() const override { return new ApplicationIconEngine(*this); }
    [[nodiscard]] QString key() const override { return QStringLiteral("RackhandApplicationIcon"); }

private:
    QHash<int, QPixmap> m_drawn;
};

} // namespace

QIcon AppDelegate::applicationIcon()
{
    return QIcon(new ApplicationIconEngine);
}

void AppDelegate::applicationDidFinishLaunching()
{
    // The menu-bar helper refreshes its count when the window program starts.
    if (const auto& center = m_services.notificationCenter)
        center->post(QString::fromLatin1(kLaunchNotification), {{QStringLiteral("version"), bundleVersion()}});
    QApplication::setWindowIcon(applicationIcon());

    m_window = std::make_unique<QMainWindow>();
    m_window->setObjectName(QStringLiteral("mainWindow"));
    m_window->setWindowTitle(QStringLiteral("Rackhand"));
    m_window->resize(kWindowWidth, kWindowHeight);
    // The menu bar belongs to the window, so the window is made first.
    buildMenuBar();
    // The floating panel that large batches report their progress in.
    if (!m_progressPanel)
        m_progressPanel = std::make_unique<ProgressPanel>(*m_progress);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect frame = initialFrame(screen->availableGeometry());
        m_window->resize(frame.size());
        m_window->move(frame.topLeft());
    }
    restoreFrame();
    QWidget* content = m_contentFactory ? m_contentFactory() : makeContent();
    m_window->setCentralWidget(content);
    m_window->installEventFilter(this);
    // The window's close button still closes it (and so quits) while a sheet blocks it.
    new BlockedCloseRequests(
        m_window.get(), [this] { m_window->close(); }, this);

    m_frameSaveTimer = new QTimer(this);
    m_frameSaveTimer->setSingleShot(true);
    m_frameSaveTimer->setInterval(300);
    connect(m_frameSaveTimer, &QTimer::timeout, this, &AppDelegate::saveFrame);

    // The root view builds its columns over the next turns; the window shows once it is whole.
    auto* root = qobject_cast<ContentView*>(content);
    if (root && !root->isBuilt())
        connect(root, &ContentView::built, this, &AppDelegate::showWindow, Qt::SingleShotConnection);
    else
        showWindow();
}

void AppDelegate::showWindow()
{
    // Front and active, as a program just started by the user.
    m_window->show();
    // Each child shown posts itself a deferred update. A platform that exposes a new window
    // at once (offscreen) paints it before those arrive, and they would then paint the whole
    // window a second time in the same turn: let them mark it now, for the one first paint.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
    m_window->raise();
    m_window->activateWindow();
}

QRect AppDelegate::initialFrame(const QRect& available)
{
    // 1200 x 800, centred; on a smaller screen (a 1366 x 768 laptop) as large as fits, so
    // the title bar and the header never start off-screen.
    QRect frame(QPoint(0, 0), QSize(kWindowWidth, kWindowHeight).boundedTo(available.size()));
    frame.moveCenter(available.center());
    return frame;
}

void AppDelegate::restoreFrame()
{
    const auto& defaults = m_services.defaults;
    if (!defaults)
        return;
    const QByteArray frame = defaults->value(DefaultsStore::standardSuite(), kFrameKey).toByteArray();
    if (!frame.isEmpty())
        m_window->restoreGeometry(frame);
}

void AppDelegate::saveFrame()
{
    const auto& defaults = m_services.defaults;
    if (m_window && defaults)
        defaults->setValue(DefaultsStore::standardSuite(), kFrameKey, m_window->saveGeometry());
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ChildPolished && watched == m_window.get() && m_quitAction) {
        // A sheet or alert over the window blocks the window's own shortcuts: Quit goes with it.
        auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
        if (child && child->isWindow() && !child->actions().contains(m_quitAction))
            child->addAction(m_quitAction);
    }
    if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Close)
        return QObject::eventFilter(watched, event);
    if (watched == m_window.get()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (m_frameSaveTimer && m_window->isVisible())
                m_frameSaveTimer->start();
            break;
        case QEvent::Close:
            if (m_frameSaveTimer && m_frameSaveTimer->isActive()) {
                m_frameSaveTimer->stop();
                saveFrame();
            }
            // Closing the main window ends the program at once, whatever else is open.
            if (applicationShouldTerminateAfterLastWindowClosed())
                QTimer::singleShot(0, this, [this] {
                    if (m_quit)
                        m_quit();
                });
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::buildMenuBar()
{
    m_menuBar = new QMenuBar(m_window.get());
    m_menuBar->setObjectName(QStringLiteral("mainMenu"));
    buildAppMenu();
    buildEditMenu();
    buildWindowMenu();
    m_window->setMenuBar(m_menuBar);
}

void AppDelegate::buildAppMenu()
{
    QMainWindow* window = m_window.get();
    QMenu* app = m_menuBar->addMenu(QStringLiteral("Rackhand"));
    app->setObjectName(QStringLiteral("appMenu"));
    addMenuItem(this, app, QStringLiteral("About Rackhand"), QKeySequence(), [this, window] {
        m_prompter->inform(window, QStringLiteral("Rackhand"),
                           QStringLiteral("Version ") + bundleVersion() +
                               QStringLiteral("\nA manager for your audio plug-ins."));
    });
    app->addSeparator();
    addMenuItem(this, app, QStringLiteral("Hide Rackhand"), QKeySequence(Qt::CTRL | Qt::Key_H), [window] {
        if (window)
            window->showMinimized();
    });
    addMenuItem(this, app, QStringLiteral("Hide Others"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_H), [window] {
        if (!window)
            return;
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    });
    addMenuItem(this, app, QStringLiteral("Show All"), QKeySequence(), [window] {
        if (!window)
            return;
        if (window->isMinimized() || window->isHidden())
            window->showNormal();
        window->raise();
    });
    app->addSeparator();
    addMenuItem(this, app, QStringLiteral("Check for Updates…"), QKeySequence(), [this] { checkForUpdates(); });
    app->addSeparator();
    m_quitAction = addMenuItem(this, app, QStringLiteral("Quit Rackhand"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        if (m_quit)
            m_quit();
    });
}

void AppDelegate::buildEditMenu()
{
    QMenu* edit = m_menuBar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("editMenu"));
    addMenuItem(this, edit, QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [] { sendToFocus("undo"); });
    addMenuItem(this, edit, QStringLiteral("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                [] { sendToFocus("redo"); });
    edit->addSeparator();
    addMenuItem(this, edit, QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), [] { sendToFocus("cut"); });
    addMenuItem(this, edit, QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [] { sendToFocus("copy"); });
    addMenuItem(this, edit, QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [] { sendToFocus("paste"); });
    addMenuItem(this, edit, QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A),
                [] { sendToFocus("selectAll"); });
}

void AppDelegate::buildWindowMenu()
{
    QMainWindow* window = m_window.get();
    QMenu* windowMenu = m_menuBar->addMenu(QStringLiteral("Window"));
    windowMenu->setObjectName(QStringLiteral("windowMenu"));
    addMenuItem(this, windowMenu, QStringLiteral("Minimize"), QKeySequence(Qt::CTRL | Qt::Key_M), [window] {
        if (window)
            window->showMinimized();
    });
    addMenuItem(this, windowMenu, QStringLiteral("Zoom"), QKeySequence(), [window] {
        if (!window)
            return;
        if (window->isMaximized())
            window->showNormal();
        else
            window->showMaximized();
    });
    windowMenu->addSeparator();
    addMenuItem(this, windowMenu, QStringLiteral("Close Window"), QKeySequence(Qt::CTRL | Qt::Key_W), [window] {
        if (window)
            window->close();
    });
}

QAction* AppDelegate::menuAction(const QString& title) const
{
    if (!m_menuBar)
        return nullptr;
    for (QAction* top : m_menuBar->actions()) {
        if (top->text() == title)
            return top;
        if (QMenu* menu = top->menu()) {
            for (QAction* item : menu->actions()) {
                if (item->text() == title)
                    return item;
            }
        }
    }
    return nullptr;
}

void AppDelegate::checkForUpdates()
{
    UpdateChecker& checker = *m_updateChecker;
    checker.checkForUpdates(this, [this, &checker] {
        // With an update the window's banner shows it; otherwise say so here.
        if (checker.updateAvailable())
            return;
        // A check that got no answer says so instead of claiming the version is current.
        if (!checker.lastCheckError().isEmpty()) {
            m_prompter->inform(m_window.get(), QStringLiteral("Couldn't Check for Updates"),
                               QStringLiteral("The update server could not be reached: ") + checker.lastCheckError());
            return;
        }
        const QString version = QCoreApplication::applicationVersion();
        m_prompter->inform(m_window.get(), QStringLiteral("You're up to date!"),
                           QStringLiteral("Rackhand v") + (version.isEmpty() ? QStringLiteral("?") : version) +
                               QStringLiteral(" is the latest version."));
    });
}
