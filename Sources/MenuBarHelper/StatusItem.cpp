#include "MenuBarHelper/StatusItem.h"

#include "MenuBarHelper/HelperLog.h"
#include "MenuBarHelper/InformationMenu.h"
#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "MenuBarHelper/TrayColours.h"
#include "widgets/AppTheme.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// Indentation of the menu's nested lines, per level, as QMenu has none of its own.
constexpr auto kIndent = "    ";

QString menuText(const MenuItemModel& item)
{
    QString text = QString::fromLatin1(kIndent).repeated(item.indent) + item.title;
    // A plug-in named "Preamp & EQ" must not lose its "&" to a mnemonic.
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

void addItem(QMenu* menu, const MenuItemModel& item)
{
    if (item.separator) {
        menu->addSeparator();
        return;
    }
    if (!item.submenu.empty()) {
        auto* sub = new InformationMenu(menuText(item), menu);
        menu->addMenu(sub);
        sub->setEnabled(item.enabled);
        StatusItem::populate(sub, item.submenu);
        return;
    }
    QAction* action = menu->addAction(menuText(item));
    action->setEnabled(item.enabled && item.action);
    if (item.information)
        InformationMenu::makeInformationLine(action);
    if (item.heading) {
        QFont bold = action->font();
        bold.setBold(true);
        bold.setPointSize(13);
        action->setFont(bold);
    }
    if (!item.key.isEmpty())
        action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + item.key.toUpper()));
    if (item.action) {
        const std::function<void()> run = item.action;
        // Queued: the menu finishes with this action before the action may rebuild the menu.
        QObject::connect(action, &QAction::triggered, menu, [run] { QTimer::singleShot(0, run); });
    }
}

// Icons need 3:1 against their ground; the panel's text is held to what text needs.
constexpr double kIconContrast = 4.5;

// Drawn pixmaps that also carry a theme name, which tray hosts speaking StatusNotifierItem
// look up among the installed icons (and colour for their panel), showing the pixmaps otherwise.
class NamedIconEngine final : public QIconEngine {
public:
    NamedIconEngine(QIcon drawn, QString name) : m_drawn(std::move(drawn)), m_name(std::move(name)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        m_drawn.paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_drawn.pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_drawn.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_drawn.availableSizes(mode, state);
    }
    QString iconName() override { return m_name; }
    QIconEngine* clone() const override { return new NamedIconEngine(m_drawn, m_name); }

private:
    QIcon m_drawn;
    QString m_name;
};

} // namespace

StatusItem::StatusItem(MenuBarAppDelegate& delegate, QObject* parent)
    : QObject(parent), m_delegate(delegate), m_menu(std::make_unique<InformationMenu>()), m_trayRetry(new QTimer(this))
{
    m_menu->setObjectName(QStringLiteral("helperMenu"));
    m_menu->setAccessibleName(QStringLiteral("Rackhand"));
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] { m_delegate.menuWillOpen(); });
    connect(&m_delegate, &MenuBarAppDelegate::menuChanged, this, [this] { populate(m_menu.get(), m_delegate.menu()); });
    populate(m_menu.get(), m_delegate.menu());

    QCoreApplication::instance()->installEventFilter(this);
    m_trayRetry->setInterval(kTrayRetryMs);
    connect(m_trayRetry, &QTimer::timeout, this, [this] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            m_trayRetry->stop();
            createTrayIcon();
        }
    });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        createTrayIcon();
    } else {
        HelperLog::print(QStringLiteral("No system tray is available: running without an icon."));
        m_trayRetry->start();
    }
}

StatusItem::~StatusItem() = default;

QColor StatusItem::iconColour(const QPalette& panel)
{
    return AppTheme::legible(panel.color(QPalette::Active, QPalette::WindowText),
                             panel.color(QPalette::Active, QPalette::Window), kIconContrast);
}

QIcon StatusItem::waveformIcon(const QColor& colour)
{
    const QIcon source(QStringLiteral(":/helper/waveform.svg"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = source.pixmap(QSize(size, size));
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), colour);
        painter.end();
        icon.addPixmap(pixmap);
    }
    icon.setIsMask(true);
    return icon;
}

void StatusItem::updateIcon()
{
    if (!m_tray)
        return;
    // The tray's own word on its panel comes first: the desktop palette may be light while
    // the panel is dark.
    const QColor colour = TrayColours::publishedForeground().value_or(iconColour(QGuiApplication::palette()));
    QIcon drawn = waveformIcon(colour);
    const QString name = QString::fromLatin1(kSymbolicIconName);
    // Named only when installed: a host that finds no icon of that name may show nothing.
    m_tray->setIcon(QIcon::hasThemeIcon(name) ? QIcon(new NamedIconEngine(drawn, name)) : drawn);
}

bool StatusItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        updateIcon();
    return QObject::eventFilter(watched, event);
}

void StatusItem::createTrayIcon()
{
    m_tray = std::make_unique<QSystemTrayIcon>();
    updateIcon();
    m_tray->setToolTip(QString::fromUtf8(MenuBarAppDelegate::kTooltip));
    m_tray->setContextMenu(m_menu.get());
    // A left click opens the same menu (the context menu opens on a right click).
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
    });
    m_tray->show();
}

void StatusItem::populate(QMenu* menu, const MenuModel& model)
{
    // Submenus of the previous build are children of this menu: free them with their items.
    const QList<QMenu*> oldSubmenus = menu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    menu->clear();
    for (QMenu* sub : oldSubmenus)
        sub->deleteLater();
    for (const MenuItemModel& item : model)
        addItem(menu, item);
}
