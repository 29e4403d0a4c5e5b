#include "MenuBarHelper/snapshots/DAWPrefsMenus.h"

#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"
#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"
#include "Platform/Paths.h"
#include "Platform/Workspace.h"
#include "widgets/Prompter.h"

#include <QDir>
#include <QLocale>
#include <QUrl>

namespace {

constexpr int kListedSnapshots = 10;
// A label the prompt takes fits a folder name in any script (three bytes a character at most).
constexpr int kMaxLabelLength = 64;
// Longer labels are shortened in the menu, so that the date and size stay on the screen.
constexpr int kMenuLabelLength = 40;
const QChar kEllipsis(0x2026);

QString shortened(const QString& label)
{
    if (label.size() <= kMenuLabelLength)
        return label;
    qsizetype keep = kMenuLabelLength - 1;
    if (label.at(keep - 1).isHighSurrogate())
        --keep; // never half a character
    return label.left(keep) + kEllipsis;
}

QString quoted(const QString& label)
{
    return u'"' + label + u'"';
}

// An alert's paragraphs, with one empty line between them.
QString paragraphs(const QStringList& texts)
{
    return texts.join(QStringLiteral("\n\n"));
}

const QString kAutomaticSnapshotText = QStringLiteral("A snapshot will be saved automatically before the reset.");
const QString kBackedUpText = QStringLiteral("Your current preferences will be backed up automatically.");

QString deleteAllText(qsizetype count)
{
    return QStringLiteral("All ") + QString::number(count) +
           QStringLiteral(" snapshot(s) will be permanently deleted. This cannot be undone.");
}

MenuItemModel item(const QString& title, std::function<void()> action = {}, bool enabled = true)
{
    MenuItemModel model;
    model.title = title;
    model.action = std::move(action);
    model.enabled = enabled;
    return model;
}

MenuItemModel disabledItem(const QString& title)
{
    MenuItemModel line = item(title, {}, false);
    line.information = true;
    return line;
}

MenuItemModel submenu(const QString& title, MenuModel items)
{
    MenuItemModel model = item(title);
    model.submenu = std::move(items);
    return model;
}

template <typename Snapshot, typename Error>
PrefsResult<PrefsSnapshot, QString> described(const PrefsResult<Snapshot, Error>& result)
{
    if (!result.ok())
        return result.error().errorDescription();
    return PrefsSnapshot(result.value());
}

template <typename Error>
std::optional<QString> described(const std::optional<Error>& error)
{
    if (!error)
        return std::nullopt;
    return error->errorDescription();
}

// What the user hears about a restore that an earlier run was cut off in.
Prompter::Alert recoveryAlert(const SnapshotCore::RecoveredRestore& recovered)
{
    const QString folder = u'“' + recovered.backupFolder + u'”';
    if (recovered.unreadable)
        return {QStringLiteral("Restore Interrupted"),
                paragraphs({QStringLiteral("A restore of your preferences was interrupted, and Rackhand could not read "
                                           "what it had done, so nothing was moved."),
                            QStringLiteral("Your previous preferences may be in ") + folder + u'.'}),
                {{QStringLiteral("OK"), Prompter::Role::cancel}},
                Prompter::Style::warning};
    const QString intro = QStringLiteral("Restoring ") + quoted(recovered.label) + QStringLiteral(" into your ") +
                          recovered.what + QStringLiteral(" preferences was interrupted.");
    QStringList texts;
    if (recovered.finished) {
        texts << intro + QStringLiteral(" Rackhand has now finished it.");
        if (!recovered.backupFolder.isEmpty())
            texts << QStringLiteral("Your previous preferences are in ") + folder + u'.';
    } else {
        texts << intro + QStringLiteral(" Rackhand has put your previous preferences back.");
    }
    texts << recovered.notes;
    return {recovered.finished ? QStringLiteral("Restore Finished") : QStringLiteral("Restore Undone"),
            paragraphs(texts),
            {{QStringLiteral("OK"), Prompter::Role::cancel}},
            recovered.notes.isEmpty() ? Prompter::Style::automatic : Prompter::Style::warning};
}

template <typename Snapshot>
std::vector<PrefsSnapshot> plain(const std::vector<Snapshot>& snapshots)
{
    return std::vector<PrefsSnapshot>(snapshots.cbegin(), snapshots.cend());
}

} // namespace

struct DAWPrefsMenus::Family {
    QString errorTitle;
    QString resetItemTitle;
    bool resetEnabled = false;
    QString resetTitle;
    QString resetText;
    QString resetDoneText;
    QString savePrompt;
    std::function<QString(const QString& quotedLabel)> restoreText;
    std::function<QString(const QString& quotedLabel)> restoredText;
    std::function<QString(qsizetype count)> deleteAllText;
    QString folder;

    std::function<std::vector<PrefsSnapshot>()> list;
    std::function<PrefsResult<PrefsSnapshot, QString>(const QString&)> create;
    std::function<std::optional<QString>(const PrefsSnapshot&)> restore;
    std::function<std::optional<QString>(const PrefsSnapshot&)> remove;
    std::function<std::optional<QString>()> reset;
    std::function<QString(qint64)> size;

    // What the menu items call.
    std::function<void()> onReset; // empty: the reset item has no action
    std::function<void()> onSave;
    std::function<void(const QString&)> onRestore;
    std::function<void(const QString&)> onDelete;
    std::function<void()> onDeleteAll;
    std::function<void()> onOpen;

    std::optional<PrefsSnapshot> find(const QString& snapshotId) const
    {
        for (const PrefsSnapshot& snapshot : list()) {
            if (snapshot.id == snapshotId)
                return snapshot;
        }
        return std::nullopt;
    }
};

namespace {
// The calls of a store with one set of preferences (Logic Pro, Pro Tools).
template <typename Store>
void bindStore(DAWPrefsMenus::Family& f, Store& store)
{
    f.list = [&store] { return plain(store.listSnapshots()); };
    f.create = [&store](const QString& label) { return described(store.createSnapshot(label)); };
    f.restore = [&store](const PrefsSnapshot& s) { return described(store.restoreSnapshot(s)); };
    f.remove = [&store](const PrefsSnapshot& s) { return described(store.deleteSnapshot(s)); };
    f.reset = [&store] { return described(store.resetPreferences()); };
    f.size = &Store::formattedSize;
}
} // namespace

void DAWPrefsMenus::bindActions(Family& f, const Actions& actions)
{
    if (f.resetEnabled)
        f.onReset = [this, actions] { (this->*actions.reset)(); };
    f.onSave = [this, actions] { (this->*actions.save)(); };
    f.onRestore = [this, actions](const QString& id) { (this->*actions.restore)(id); };
    f.onDelete = [this, actions](const QString& id) { (this->*actions.remove)(id); };
    f.onDeleteAll = [this, actions] { (this->*actions.removeAll)(); };
    f.onOpen = [this, actions] { (this->*actions.open)(); };
}

DAWPrefsMenus::DAWPrefsMenus(SnapshotStores stores, Prompter& prompter, std::shared_ptr<Workspace> workspace,
                             std::function<void()> requestRebuild, QWidget* dialogParent)
    : m_stores(std::move(stores)), m_prompter(prompter), m_workspace(std::move(workspace)),
      m_requestRebuild(std::move(requestRebuild)), m_dialogParent(dialogParent)
{
    Q_ASSERT_X(m_stores.logicPro && m_stores.proTools && m_stores.studioOne, "DAWPrefsMenus",
               "the start-up hands in all three stores");
    // A store left out by mistake is one over the system clock and the real file work.
    const auto files = std::make_shared<SnapshotFiles>();
    if (!m_stores.logicPro)
        m_stores.logicPro = std::make_shared<LogicProPrefsManager>(SnapshotCore::defaultClock(), files);
    if (!m_stores.proTools)
        m_stores.proTools = std::make_shared<ProToolsPrefsManager>(SnapshotCore::defaultClock(), files);
    if (!m_stores.studioOne)
        m_stores.studioOne = std::make_shared<StudioOnePrefsManager>(SnapshotCore::defaultClock(), files);
}

// --- Families ---

DAWPrefsMenus::Family DAWPrefsMenus::proTools()
{
    Family f;
    f.errorTitle = QStringLiteral("Pro Tools Prefs Error");
    f.resetItemTitle = QStringLiteral("Reset Pro Tools Preferences") + kEllipsis;
    f.resetEnabled = SnapshotFiles::exists(Paths::user(QStringLiteral("/Library/Preferences/Avid/Pro Tools")));
    f.resetTitle = QStringLiteral("Reset Pro Tools Preferences?");
    f.resetText = paragraphs({QStringLiteral("This renames the Pro Tools preferences folder so Pro Tools regenerates "
                                             "fresh preferences on next launch."),
                              kAutomaticSnapshotText});
    f.resetDoneText =
        paragraphs({QStringLiteral("Pro Tools preferences have been reset. A snapshot was saved automatically."),
                    QStringLiteral("Launch Pro Tools to regenerate default preferences.")});
    f.savePrompt = QStringLiteral("Enter a label for this snapshot (e.g. \"Mixing Session\", \"Clean State\").");
    f.restoreText = [](const QString& label) {
        return paragraphs(
            {QStringLiteral("Restoring ") + label + QStringLiteral(" will replace your current Pro Tools preferences."),
             kBackedUpText});
    };
    f.restoredText = [](const QString& label) {
        return QStringLiteral("Snapshot ") + label +
               QStringLiteral(" has been restored. Launch Pro Tools to use the restored preferences.");
    };
    f.deleteAllText = deleteAllText;
    f.folder = ProToolsPrefsManager::snapshotRoot();
    bindStore(f, *m_stores.proTools);
    bindActions(f, {&DAWPrefsMenus::resetProToolsPrefs, &DAWPrefsMenus::saveProToolsSnapshot,
                    &DAWPrefsMenus::restoreProToolsSnapshot, &DAWPrefsMenus::deleteProToolsSnapshot,
                    &DAWPrefsMenus::deleteAllProToolsSnapshots, &DAWPrefsMenus::openSnapshotFolder});
    return f;
}

DAWPrefsMenus::Family DAWPrefsMenus::logicPro()
{
    const QString prefs = Paths::user(QStringLiteral("/Library/Preferences/"));
    Family f;
    f.errorTitle = QStringLiteral("Logic Pro Prefs Error");
    f.resetItemTitle = QStringLiteral("Reset Logic Pro Preferences") + kEllipsis;
    f.resetEnabled = SnapshotFiles::exists(prefs + QStringLiteral("com.apple.logic10.plist")) ||
                     SnapshotFiles::exists(prefs + QStringLiteral("com.apple.logic10"));
    f.resetTitle = QStringLiteral("Reset Logic Pro Preferences?");
    f.resetText = paragraphs(
        {QStringLiteral(
             "This moves your Logic Pro preference files so Logic regenerates fresh defaults on next launch."),
         kAutomaticSnapshotText,
         QStringLiteral("⚠️ You must restart your Mac after resetting for changes to take full effect.")});
    f.resetDoneText = paragraphs(
        {QStringLiteral("Logic Pro preferences have been reset and a snapshot was saved automatically."),
         QStringLiteral("⚠️ Restart your Mac, then launch Logic Pro to regenerate default preferences.")});
    f.savePrompt = QStringLiteral("Enter a label for this Logic Pro snapshot.");
    f.restoreText = [](const QString& label) {
        return paragraphs(
            {QStringLiteral("Restoring ") + label + QStringLiteral(" will replace your current Logic Pro preferences."),
             kBackedUpText,
             QStringLiteral("⚠️ Restart your Mac after restoring for the changes to take full effect.")});
    };
    f.restoredText = [](const QString& label) {
        return paragraphs(
            {QStringLiteral("Snapshot ") + label + QStringLiteral(" has been restored."),
             QStringLiteral("⚠️ Restart your Mac, then launch Logic Pro to use the restored preferences.")});
    };
    f.deleteAllText = deleteAllText;
    f.folder = LogicProPrefsManager::snapshotRoot();
    bindStore(f, *m_stores.logicPro);
    bindActions(f, {&DAWPrefsMenus::resetLogicProPrefs, &DAWPrefsMenus::saveLogicProSnapshot,
                    &DAWPrefsMenus::restoreLogicProSnapshot, &DAWPrefsMenus::deleteLogicProSnapshot,
                    &DAWPrefsMenus::deleteAllLogicProSnapshots, &DAWPrefsMenus::openLogicSnapshotFolder});
    return f;
}

DAWPrefsMenus::Family DAWPrefsMenus::studioOne(const StudioOneVersion& version)
{
    DAWPrefsMenus* self = this;
    StudioOnePrefsManager& store = *m_stores.studioOne;
    const QString name = version.name;
    const QString id = version.id;
    Family f;
    f.errorTitle = QStringLiteral("Studio One Prefs Error");
    f.resetItemTitle = QStringLiteral("Reset ") + name + QStringLiteral(" Preferences") + kEllipsis;
    f.resetEnabled = studioOneVersion(id).has_value();
    f.resetTitle = QStringLiteral("Reset ") + name + QStringLiteral(" Preferences?");
    f.resetText = paragraphs({QStringLiteral("This moves your ") + name +
                                  QStringLiteral(" settings so Studio One regenerates fresh defaults on next launch."),
                              kAutomaticSnapshotText});
    f.resetDoneText =
        paragraphs({name + QStringLiteral(" preferences have been reset. A snapshot was saved automatically."),
                    QStringLiteral("Launch Studio One to regenerate default preferences.")});
    f.savePrompt = QStringLiteral("Enter a label for this ") + name + QStringLiteral(" snapshot.");
    f.restoreText = [name](const QString& label) {
        return paragraphs({QStringLiteral("Restoring ") + label + QStringLiteral(" will replace your current ") + name +
                               QStringLiteral(" preferences."),
                           kBackedUpText});
    };
    f.restoredText = [](const QString& label) {
        return QStringLiteral("Snapshot ") + label +
               QStringLiteral(" has been restored. Relaunch Studio One to use the restored preferences.");
    };
    f.deleteAllText = [name](qsizetype count) {
        return QStringLiteral("All ") + QString::number(count) + QStringLiteral(" snapshot(s) for ") + name +
               QStringLiteral(" will be permanently deleted. This cannot be undone.");
    };
    f.folder = StudioOnePrefsManager::snapshotFolder(id);
    f.list = [&store, version] { return plain(store.listSnapshots(version)); };
    f.create = [&store, version](const QString& label) { return described(store.createSnapshot(label, version)); };
    f.restore = [&store, version](const PrefsSnapshot& s) {
        return described(store.restoreSnapshot({s, version.id}, version));
    };
    f.remove = [&store, version](const PrefsSnapshot& s) { return described(store.deleteSnapshot({s, version.id})); };
    f.reset = [&store, version] { return described(store.resetPreferences(version)); };
    f.size = &StudioOnePrefsManager::formattedSize;
    f.onReset = [self, id] { self->resetStudioOnePrefs(id); };
    f.onSave = [self, id] { self->saveStudioOneSnapshot(id); };
    f.onRestore = [self, id](const QString& snapshot) { self->restoreStudioOneSnapshot(id + u'|' + snapshot); };
    f.onDelete = [self, id](const QString& snapshot) { self->deleteStudioOneSnapshot(id + u'|' + snapshot); };
    f.onDeleteAll = [self, id] { self->deleteAllStudioOneSnapshots(id); };
    f.onOpen = [self, id] { self->openStudioOneSnapshotFolder(id); };
    return f;
}

std::optional<StudioOneVersion> DAWPrefsMenus::studioOneVersion(const std::optional<QString>& id) const
{
    if (!id)
        return std::nullopt;
    for (const StudioOneVersion& version : m_stores.studioOne->installedVersions()) {
        if (version.id == *id)
            return version;
    }
    return std::nullopt;
}

std::optional<std::pair<StudioOneVersion, QString>>
DAWPrefsMenus::studioOneTarget(const std::optional<QString>& represented) const
{
    if (!represented)
        return std::nullopt;
    const QStringList pieces = SnapshotCore::splitPieces(*represented, u'|', 1);
    if (pieces.size() != 2)
        return std::nullopt;
    const auto version = studioOneVersion(pieces[0]);
    if (!version)
        return std::nullopt;
    return std::make_pair(*version, pieces[1]);
}

// --- Menus ---

MenuModel DAWPrefsMenus::menus()
{
    return {proToolsMenu(), logicProMenu(), studioOneMenu()};
}

MenuItemModel DAWPrefsMenus::proToolsMenu()
{
    if (!m_stores.proTools->isProToolsInstalled())
        return submenu(QStringLiteral("Pro Tools Prefs"), {disabledItem(QStringLiteral("Pro Tools not found"))});
    return submenu(QStringLiteral("Pro Tools Prefs"), familyItems(proTools()));
}

MenuItemModel DAWPrefsMenus::logicProMenu()
{
    if (!m_stores.logicPro->isLogicProInstalled())
        return submenu(QStringLiteral("Logic Pro Prefs"), {disabledItem(QStringLiteral("Logic Pro not found"))});
    return submenu(QStringLiteral("Logic Pro Prefs"), familyItems(logicPro()));
}

MenuItemModel DAWPrefsMenus::studioOneMenu()
{
    const QString title = QStringLiteral("Studio One Prefs");
    StudioOnePrefsManager& store = *m_stores.studioOne;
    if (!store.isInstalled())
        return submenu(title, {disabledItem(QStringLiteral("Studio One not found"))});
    const std::vector<StudioOneVersion> versions = store.installedVersions();
    if (versions.empty())
        return submenu(title, {disabledItem(QStringLiteral("No versions found"))});
    if (versions.size() == 1)
        return submenu(title, familyItems(studioOne(versions.front())));
    MenuModel items;
    for (const StudioOneVersion& version : versions)
        items.push_back(submenu(version.name, familyItems(studioOne(version))));
    return submenu(title, std::move(items));
}

MenuModel DAWPrefsMenus::familyItems(const Family& family)
{
    MenuModel items;
    items.push_back(item(family.resetItemTitle, family.onReset, family.resetEnabled));
    items.push_back(MenuItemModel::makeSeparator());
    items.push_back(item(QStringLiteral("Save Snapshot") + kEllipsis, family.onSave));
    for (MenuItemModel& entry : snapshotItems(family))
        items.push_back(std::move(entry));
    items.push_back(MenuItemModel::makeSeparator());
    items.push_back(item(QStringLiteral("Show Snapshots in Finder"), family.onOpen));
    return items;
}

MenuModel DAWPrefsMenus::snapshotItems(const Family& family)
{
    const std::vector<PrefsSnapshot> snapshots = family.list();
    if (snapshots.empty())
        return {disabledItem(QStringLiteral("No snapshots yet"))};
    MenuModel items{MenuItemModel::makeSeparator(), disabledItem(QStringLiteral("Snapshots:"))};
    const QLocale locale;
    const int shown = std::min(kListedSnapshots, static_cast<int>(snapshots.size()));
    for (int i = 0; i < shown; ++i) {
        const PrefsSnapshot& snapshot = snapshots[static_cast<size_t>(i)];
        const QString title = QStringLiteral("  ") + shortened(snapshot.label) + QStringLiteral("  \u2014  ") +
                              locale.toString(snapshot.date.toLocalTime(), QLocale::ShortFormat) +
                              QStringLiteral("  (") + family.size(snapshot.sizeBytes) + u')';
        const QString id = snapshot.id;
        items.push_back(submenu(
            title,
            {item(QStringLiteral("Restore This Snapshot"), [onRestore = family.onRestore, id] { onRestore(id); }),
             item(QStringLiteral("Delete This Snapshot"), [onDelete = family.onDelete, id] { onDelete(id); })}));
    }
    if (snapshots.size() > static_cast<size_t>(kListedSnapshots)) {
        const auto more = static_cast<qsizetype>(snapshots.size()) - kListedSnapshots;
        items.push_back(
            item(QStringLiteral("  ") + kEllipsis + u' ' + QString::number(more) + QStringLiteral(" more in Finder"),
                 family.onOpen));
    }
    items.push_back(MenuItemModel::makeSeparator());
    items.push_back(item(QStringLiteral("Delete All Snapshots") + kEllipsis, family.onDeleteAll));
    return items;
}

// --- Actions ---

void DAWPrefsMenus::resetProToolsPrefs()
{
    reset(proTools());
}

void DAWPrefsMenus::saveProToolsSnapshot()
{
    save(proTools());
}

void DAWPrefsMenus::deleteAllProToolsSnapshots()
{
    removeAll(proTools());
}

void DAWPrefsMenus::openSnapshotFolder()
{
    open(ProToolsPrefsManager::snapshotRoot());
}

void DAWPrefsMenus::restoreProToolsSnapshot(const std::optional<QString>& represented)
{
    if (represented)
        restore(proTools(), *represented);
}

void DAWPrefsMenus::deleteProToolsSnapshot(const std::optional<QString>& represented)
{
    if (represented)
        remove(proTools(), *represented);
}

void DAWPrefsMenus::resetLogicProPrefs()
{
    reset(logicPro());
}

void DAWPrefsMenus::saveLogicProSnapshot()
{
    save(logicPro());
}

void DAWPrefsMenus::deleteAllLogicProSnapshots()
{
    removeAll(logicPro());
}

void DAWPrefsMenus::openLogicSnapshotFolder()
{
    open(LogicProPrefsManager::snapshotRoot());
}

void DAWPrefsMenus::restoreLogicProSnapshot(const std::optional<QString>& represented)
{
    if (represented)
        restore(logicPro(), *represented);
}

void DAWPrefsMenus::deleteLogicProSnapshot(const std::optional<QString>& represented)
{
    if (represented)
        remove(logicPro(), *represented);
}

void DAWPrefsMenus::resetStudioOnePrefs(const std::optional<QString>& represented)
{
    if (const auto version = studioOneVersion(represented))
        reset(studioOne(*version));
}

void DAWPrefsMenus::saveStudioOneSnapshot(const std::optional<QString>& represented)
{
    if (const auto version = studioOneVersion(represented))
        save(studioOne(*version));
}

void DAWPrefsMenus::deleteAllStudioOneSnapshots(const std::optional<QString>& represented)
{
    if (const auto version = studioOneVersion(represented))
        removeAll(studioOne(*version));
}

void DAWPrefsMenus::restoreStudioOneSnapshot(const std::optional<QString>& represented)
{
    if (const auto target = studioOneTarget(represented))
        restore(studioOne(target->first), target->second);
}

void DAWPrefsMenus::deleteStudioOneSnapshot(const std::optional<QString>& represented)
{
    if (const auto target = studioOneTarget(represented))
        remove(studioOne(target->first), target->second);
}

void DAWPrefsMenus::openStudioOneSnapshotFolder(const std::optional<QString>& represented)
{
    // No version lookup: the folder of a version that is gone can still be shown. A text that
    // is not a plain folder name shows the root instead of a folder elsewhere.
    const QString id = represented.value_or(QString());
    const bool plainName = !id.contains(u'/') && id != QLatin1String(".") && id != QLatin1String("..");
    open(plainName && !id.isEmpty() ? StudioOnePrefsManager::snapshotFolder(id)
                                    : StudioOnePrefsManager::snapshotRoot());
}

void DAWPrefsMenus::recoverInterruptedRestores()
{
    std::vector<SnapshotCore::RecoveredRestore> recovered = m_stores.logicPro->recoverInterruptedRestores();
    for (auto&& more :
         {m_stores.proTools->recoverInterruptedRestores(), m_stores.studioOne->recoverInterruptedRestores()})
        recovered.insert(recovered.end(), more.cbegin(), more.cend());
    if (recovered.empty())
        return;
    rebuild(); // the menu shows the preferences as they are now
    for (const SnapshotCore::RecoveredRestore& restore : recovered)
        m_prompter.ask(m_dialogParent, recoveryAlert(restore));
}

void DAWPrefsMenus::reset(const Family& family)
{
    if (!confirm(family.resetTitle, family.resetText, QStringLiteral("Reset")))
        return;
    if (const auto error = family.reset()) {
        showError(family, *error);
        return;
    }
    inform(QStringLiteral("Reset Complete"), family.resetDoneText);
    rebuild();
}

void DAWPrefsMenus::save(const Family& family)
{
    const auto label = promptForLabel(family.savePrompt);
    if (!label)
        return;
    const auto made = family.create(*label);
    if (!made.ok()) {
        showError(family, made.error());
        return;
    }
    inform(QStringLiteral("Snapshot Saved"), QStringLiteral("Snapshot ") + quoted(made.value().label) +
                                                 QStringLiteral(" saved (") + family.size(made.value().sizeBytes) +
                                                 QStringLiteral(")."));
    rebuild();
}

void DAWPrefsMenus::restore(const Family& family, const QString& snapshotId)
{
    const auto snapshot = family.find(snapshotId);
    if (!snapshot)
        return;
    const QString label = quoted(snapshot->label);
    if (!confirm(QStringLiteral("Restore Snapshot?"), family.restoreText(label), QStringLiteral("Restore")))
        return;
    if (const auto error = family.restore(*snapshot)) {
        showError(family, *error);
        return;
    }
    inform(QStringLiteral("Snapshot Restored"), family.restoredText(label));
    rebuild();
}

void DAWPrefsMenus::remove(const Family& family, const QString& snapshotId)
{
    const auto snapshot = family.find(snapshotId);
    if (!snapshot)
        return;
    if (!confirm(QStringLiteral("Delete Snapshot?"),
                 quoted(snapshot->label) + QStringLiteral(" will be permanently deleted. This cannot be undone."),
                 QStringLiteral("Delete")))
        return;
    if (const auto error = family.remove(*snapshot)) {
        showError(family, *error);
        return;
    }
    rebuild();
}

void DAWPrefsMenus::removeAll(const Family& family)
{
    const std::vector<PrefsSnapshot> snapshots = family.list();
    if (snapshots.empty())
        return;
    if (!confirm(QStringLiteral("Delete All Snapshots?"),
                 family.deleteAllText(static_cast<qsizetype>(snapshots.size())), QStringLiteral("Delete All")))
        return;
    for (const PrefsSnapshot& snapshot : snapshots)
        family.remove(snapshot); // one that cannot be removed stays listed; the others still go
    rebuild();
}

void DAWPrefsMenus::open(const QString& folder)
{
    QDir().mkpath(folder); // a failure still asks the desktop to open it
    if (m_workspace)
        m_workspace->openUrl(QUrl::fromLocalFile(folder));
}

// --- Dialogs ---

bool DAWPrefsMenus::confirm(const QString& title, const QString& text, const QString& button) const
{
    // The helper's order: the confirming button first, "Cancel" second.
    const Prompter::Alert alert{title,
                                text,
                                {{button, Prompter::Role::normal}, {QStringLiteral("Cancel"), Prompter::Role::cancel}},
                                Prompter::Style::warning};
    return m_prompter.ask(m_dialogParent, alert) == 0;
}

void DAWPrefsMenus::inform(const QString& title, const QString& text) const
{
    m_prompter.ask(m_dialogParent, {title, text, {{QStringLiteral("OK"), Prompter::Role::cancel}}});
}

void DAWPrefsMenus::showError(const Family& family, const QString& description) const
{
    m_prompter.ask(
        m_dialogParent,
        {family.errorTitle, description, {{QStringLiteral("OK"), Prompter::Role::cancel}}, Prompter::Style::critical});
}

std::optional<QString> DAWPrefsMenus::promptForLabel(const QString& text) const
{
    Prompter::TextRequest request;
    request.title = QStringLiteral("Name This Snapshot");
    request.message = text;
    request.placeholder = QStringLiteral("Snapshot label");
    request.confirmText = QStringLiteral("Save");
    request.requireNonBlank = false; // a blank label saves a snapshot named by its time alone
    request.confirmFirst = true;
    request.maxLength = kMaxLabelLength;
    const auto entered = m_prompter.askText(m_dialogParent, request);
    if (!entered)
        return std::nullopt;
    return entered->trimmed();
}

void DAWPrefsMenus::rebuild() const
{
    if (m_requestRebuild)
        m_requestRebuild();
}
