#pragma once

#include <QWidget>

class ToggleSwitch;

/// "Menu Bar": the "Launch at Login" switch of the menu-bar helper. It keeps no state
/// of its own: the switch shows the login item's status each time the section is shown
/// and after every switch.
class MenuBarSection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MenuBarSection)
public:
    explicit MenuBarSection(QWidget* parent = nullptr);
    ToggleSwitch* launchAtLoginSwitch() const { return m_switch; }
    /// Re-reads the login item's status into the switch.
    void refreshState();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ToggleSwitch* m_switch = nullptr;
};
