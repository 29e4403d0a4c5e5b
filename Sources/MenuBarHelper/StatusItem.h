#pragma once

#include "MenuBarHelper/MenuModel.h"

#include <QObject>
#include <QPointer>

#include <memory>

class MenuBarAppDelegate;
class QMenu;
class QSystemTrayIcon;
class QTimer;

/// The helper's tray icon and its one menu, filled from the delegate's MenuModel on
/// every change and before every opening. Without a tray the helper runs on without an
/// icon, says so once, and shows the icon as soon as a tray appears.
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

    /// The monochrome waveform drawn from its SVG.
    static QIcon waveformIcon();
    /// Replaces the menu's items with the model's. An item's action runs after the menu
    /// has finished handling the click, so it may rebuild the menu or open a dialog.
    static void populate(QMenu* menu, const MenuModel& model);

private:
    void createTrayIcon();

    MenuBarAppDelegate& m_delegate;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QTimer* m_trayRetry = nullptr;
};
