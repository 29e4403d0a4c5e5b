#pragma once

#include "MenuBarHelper/MenuModel.h"

#include <QObject>
#include <QPointer>

#include <memory>

class MenuBarAppDelegate;
class QColor;
class QMenu;
class QPalette;
class QSystemTrayIcon;
class QTimer;

/// The helper's tray icon and its one menu, filled from the delegate's MenuModel on
/// every change and before every opening. Without a tray the helper runs on without an
/// icon, says so once, and shows the icon as soon as a tray appears. The icon follows the
/// panel: the colour the tray asks for, else the desktop palette's text colour, drawn anew
/// when the palette changes.
class StatusItem final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusItem)
public:
    static constexpr int kTrayRetryMs = 5'000;

    explicit StatusItem(MenuBarAppDelegate& delegate, QObject* parent = nullptr);
    ~StatusItem() override;

    /// The tray icon; null while no tray is available.
    QSystemTrayIcon* trayIcon() const { return m_tray.get(); }
    QMenu* menu() const { return m_menu.get(); }

    /// The theme name of the symbolic icon: tray hosts that find it installed colour it for
    /// their panel themselves; the others show the drawn pixmaps.
    static constexpr auto kSymbolicIconName = "com.yourcompany.Rackhand.helper-agent-symbolic";

    /// The colour the icon takes on a panel of these colours: the panel's text colour,
    /// made lighter or darker until it stands out from the panel's background.
    static QColor iconColour(const QPalette& panel);
    /// The monochrome waveform drawn from its SVG in `colour`.
    static QIcon waveformIcon(const QColor& colour);
    /// Replaces the menu's items with the model's. An item's action runs after the menu
    /// has finished handling the click, so it may rebuild the menu or open a dialog.
    static void populate(QMenu* menu, const MenuModel& model);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createTrayIcon();
    void updateIcon();

    MenuBarAppDelegate& m_delegate;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QTimer* m_trayRetry = nullptr;
};
