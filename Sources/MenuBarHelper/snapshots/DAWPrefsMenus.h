#pragma once

#include "MenuBarHelper/MenuModel.h"
#include "MenuBarHelper/snapshots/SnapshotCore.h"
#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class LogicProPrefsManager;
class ProToolsPrefsManager;
class Prompter;
class QWidget;
class Workspace;

/// The three snapshot stores the menus act on, built once by the helper's start-up.
struct SnapshotStores {
    std::shared_ptr<LogicProPrefsManager> logicPro;
    std::shared_ptr<ProToolsPrefsManager> proTools;
    std::shared_ptr<StudioOnePrefsManager> studioOne;
};

/// The tray menu's "Pro Tools Prefs", "Logic Pro Prefs" and "Studio One Prefs" submenus and the
/// actions behind them: confirmations, the label prompt, the store calls and the alerts, all
/// through the prompter it is given, on the stores it is given. Must outlive the menu models
/// it returns.
class DAWPrefsMenus {
public:
    /// `requestRebuild` is called after every change so the tray menu shows the disk anew.
    /// `prompter` outlives this object.
    DAWPrefsMenus(SnapshotStores stores, Prompter& prompter, std::shared_ptr<Workspace> workspace,
                  std::function<void()> requestRebuild, QWidget* dialogParent = nullptr);

    /// The three submenu entries, in menu order.
    MenuModel menus();
    MenuItemModel proToolsMenu();
    MenuItemModel logicProMenu();
    MenuItemModel studioOneMenu();

    // The actions, as the menu items call them. `represented` is the item's represented text:
    // a snapshot id, a version id, or a version id, "|" and a snapshot id for Studio One.
    void resetProToolsPrefs();
    void saveProToolsSnapshot();
    void restoreProToolsSnapshot(const std::optional<QString>& represented);
    void deleteProToolsSnapshot(const std::optional<QString>& represented);
    void deleteAllProToolsSnapshots();
    void openSnapshotFolder();

    void resetLogicProPrefs();
    void saveLogicProSnapshot();
    void restoreLogicProSnapshot(const std::optional<QString>& represented);
    void deleteLogicProSnapshot(const std::optional<QString>& represented);
    void deleteAllLogicProSnapshots();
    void openLogicSnapshotFolder();

    void resetStudioOnePrefs(const std::optional<QString>& represented);
    void saveStudioOneSnapshot(const std::optional<QString>& represented);
    void restoreStudioOneSnapshot(const std::optional<QString>& represented);
    void deleteStudioOneSnapshot(const std::optional<QString>& represented);
    void deleteAllStudioOneSnapshots(const std::optional<QString>& represented);
    void openStudioOneSnapshotFolder(const std::optional<QString>& represented);

    /// At start-up: finishes or undoes, in every store, each restore that an earlier run was cut
    /// off in, and tells the user where their preferences are.
    void recoverInterruptedRestores();

    /// One workstation's texts and store calls; a Studio One family is bound to one version.
    struct Family;

private:
    /// The actions of a store with one set of preferences, as its menu items call them.
    struct Actions {
        void (DAWPrefsMenus::*reset)();
        void (DAWPrefsMenus::*save)();
        void (DAWPrefsMenus::*restore)(const std::optional<QString>&);
        void (DAWPrefsMenus::*remove)(const std::optional<QString>&);
        void (DAWPrefsMenus::*removeAll)();
        void (DAWPrefsMenus::*open)();
    };
    void bindActions(Family& family, const Actions& actions);

    Family proTools();
    Family logicPro();
    Family studioOne(const StudioOneVersion& version);
    std::optional<StudioOneVersion> studioOneVersion(const std::optional<QString>& id) const;
    /// The version and snapshot of a Studio One "version|snapshot" text.
    std::optional<std::pair<StudioOneVersion, QString>>
    studioOneTarget(const std::optional<QString>& represented) const;

    static MenuModel familyItems(const Family& family);
    static MenuModel snapshotItems(const Family& family);

    void reset(const Family& family);
    void save(const Family& family);
    void restore(const Family& family, const QString& snapshotId);
    void remove(const Family& family, const QString& snapshotId);
    void removeAll(const Family& family);
    void open(const QString& folder);

    bool confirm(const QString& title, const QString& text, const QString& button) const;
    void inform(const QString& title, const QString& text) const;
    void showError(const Family& family, const QString& description) const;
    std::optional<QString> promptForLabel(const QString& text) const;
    void rebuild() const;

    SnapshotStores m_stores;
    Prompter& m_prompter;
    std::shared_ptr<Workspace> m_workspace;
    std::function<void()> m_requestRebuild;
    QWidget* m_dialogParent;
};
