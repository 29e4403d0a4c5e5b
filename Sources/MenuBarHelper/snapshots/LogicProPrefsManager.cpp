#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"

#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "Platform/Clock.h"
#include "Platform/Paths.h"

#include <QFileInfo>

namespace {
using Error = LogicProPrefsError;
} // namespace

QString LogicProPrefsError::errorDescription() const
{
    if (kind == Case::prefsNotFound)
        return QStringLiteral("No Logic Pro preference files found.");
    return SnapshotCore::errorDescription(static_cast<int>(kind), message);
}

std::vector<QString> LogicProPrefsManager::prefItems()
{
    const QString folder = preferencesFolder();
    return {folder + QStringLiteral("/com.apple.logic10.plist"), folder + QStringLiteral("/com.apple.logic10"),
            folder + QStringLiteral("/com.apple.logic.pro.cs")};
}

QString LogicProPrefsManager::preferencesFolder()
{
    return Paths::user(QStringLiteral("/Library/Preferences"));
}

QString LogicProPrefsManager::snapshotRoot()
{
    return Paths::dataFile(QStringLiteral("LogicProSnapshots"));
}

std::vector<QString> LogicProPrefsManager::presentItems() const
{
    std::vector<QString> present;
    for (const QString& item : prefItems()) {
        if (SnapshotFiles::exists(item))
            present.push_back(item);
    }
    return present;
}

bool LogicProPrefsManager::isLogicProInstalled() const
{
    return !presentItems().empty() || QFileInfo::exists(snapshotRoot());
}

std::vector<LogicProSnapshot> LogicProPrefsManager::listSnapshots() const
{
    return SnapshotCore::listSnapshots(snapshotRoot());
}

std::vector<SnapshotCore::LeftoverPlace> LogicProPrefsManager::leftoverPlaces() const
{
    return {{preferencesFolder(), {QStringLiteral("LogicPro_BeforeRestore_"), QStringLiteral("LogicPro_Backup_")}},
            {snapshotRoot(), {}}};
}

PrefsResult<LogicProSnapshot, LogicProPrefsError> LogicProPrefsManager::createSnapshot(const QString& label) const
{
    sweepLeftovers();
    const std::vector<QString> present = presentItems();
    if (present.empty())
        return Error{Error::Case::prefsNotFound, {}};
    if (QString reason = m_fm->makePath(snapshotRoot()); !reason.isEmpty())
        return Error{Error::Case::fileManager, reason};

    const QString cleaned = SnapshotCore::cleanLabel(label);
    const QString folder = newFolderPath(snapshotRoot(), cleaned);
    std::vector<SnapshotCore::StagedCopy> copies;
    copies.reserve(present.size());
    for (const QString& item : present)
        copies.push_back({item, SnapshotFiles::fileName(item)});
    if (QString reason = SnapshotCore::buildFolder(*m_fm, folder, copies); !reason.isEmpty())
        return Error{Error::Case::snapshotFailed, reason};
    return SnapshotCore::recordFor(folder, cleaned, m_clock->now());
}

std::optional<LogicProPrefsError> LogicProPrefsManager::restoreSnapshot(const LogicProSnapshot& snapshot) const
{
    sweepLeftovers();
    // Only the known item names are restored; anything else in the folder never lands.
    SnapshotCore::RestorePlan plan;
    plan.what = QStringLiteral("Logic Pro");
    plan.label = snapshot.label;
    plan.stagingParent = preferencesFolder();
    QStringList names;
    for (const QString& item : prefItems())
        names << SnapshotFiles::fileName(item);
    SnapshotCore::addKnownEntries(plan, snapshot.path(), preferencesFolder(), names);
    if (plan.copies.empty() && plan.refusal.isEmpty())
        return Error{Error::Case::restoreFailed, SnapshotCore::kEmptySnapshotText};

    plan.backupFolder =
        preferencesFolder() + QStringLiteral("/LogicPro_BeforeRestore_") + SnapshotCore::timeText(m_clock->now());
    for (const QString& item : presentItems())
        plan.backups.push_back({item, plan.backupFolder + u'/' + SnapshotFiles::fileName(item)});

    const auto failure = SnapshotCore::restore(*m_fm, std::move(plan));
    if (!failure)
        return std::nullopt;
    return Error{Error::Case::restoreFailed, failure->describe(QStringLiteral("Could not back up current prefs: "))};
}

std::optional<LogicProPrefsError> LogicProPrefsManager::resetPreferences() const
{
    sweepLeftovers();
    const std::vector<QString> present = presentItems();
    if (present.empty())
        return Error{Error::Case::prefsNotFound, {}};
    if (auto made = createSnapshot(SnapshotCore::kBeforeResetLabel); !made.ok())
        return made.error();

    const QString backup =
        preferencesFolder() + QStringLiteral("/LogicPro_Backup_") + SnapshotCore::timeText(m_clock->now());
    std::vector<SnapshotCore::Move> moves;
    moves.reserve(present.size());
    for (const QString& item : present)
        moves.push_back({item, backup + u'/' + SnapshotFiles::fileName(item)});
    // A failed move puts the moved items back one by one, so the live preferences are never half
    // reset; the error names any that could not go back.
    if (QString reason = SnapshotCore::moveIntoFolder(*m_fm, backup, moves); !reason.isEmpty())
        return Error{Error::Case::resetFailed, reason};
    return std::nullopt;
}
