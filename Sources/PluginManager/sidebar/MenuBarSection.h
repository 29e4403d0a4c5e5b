#pragma once

#include <QWidget>

#include <memory>

class LoginItem;
class ToggleSwitch;

/// "Menu Bar": the "Launch at Login" switch of the menu-bar helper. It keeps no state
/// of its own: the switch shows the status of the login item it was given each time the
/// section is shown and after every switch.
class MenuBarSection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MenuBarSection)
public:
    explicit MenuBarSection(std::shared_ptr<LoginItem> loginItem, QWidget* parent = nullptr);
    ToggleSwitch* launchAtLoginSwitch() const { return m_switch; }
    /// Re-reads the login item's status into the switch.
    void refreshState();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<LoginItem> m_loginItem;
    ToggleSwitch* m_switch = nullptr;
};
