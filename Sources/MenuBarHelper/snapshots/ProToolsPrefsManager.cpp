#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"

#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "Platform/Clock.h"
#include "Platform/Paths.h"

#include <QFileInfo>

namespace {
using Error = ProToolsPrefsError;

// A sibling of the live folder: "Pro Tools (<what> <time>)".
QString siblingName(const QString& what, const QDateTime& now)
{
    return SnapshotFiles::parentPath(ProToolsPrefsManager::preferencesFolder()) + QStringLiteral("/Pro Tools (") +
           what + u' ' + SnapshotCore::timeText(now) + u')';
}
} // namespace

QString ProToolsPrefsError::errorDescription() const
{
    if (kind == Case::prefsNotFound)
        return QStringLiteral("Pro Tools preferences folder not found.");
    return SnapshotCore::errorDescription(static_cast<int>(kind), message);
}

QString ProToolsPrefsManager::preferencesFolder()
{
    return Paths::user(QStringLiteral("/Library/Preferences/Avid/Pro Tools"));
}

QString ProToolsPrefsManager::snapshotRoot()
{
    return Paths::dataFile(QStringLiteral("ProToolsSnapshots"));
}

bool ProToolsPrefsManager::isProToolsInstalled() const
{
    return SnapshotFiles::exists(preferencesFolder()) || QFileInfo::exists(snapshotRoot());
}

std::vector<ProToolsSnapshot> ProToolsPrefsManager::listSnapshots() const
{
    return SnapshotCore::listSnapshots(snapshotRoot());
}

std::vector<SnapshotCore::LeftoverPlace> ProToolsPrefsManager::leftoverPlaces() const
{
    // The backups are the live folder itself, renamed: never made empty, never swept.
    return {{SnapshotFiles::parentPath(preferencesFolder()), {}}, {snapshotRoot(), {}}};
}

PrefsResult<ProToolsSnapshot, ProToolsPrefsError> ProToolsPrefsManager::createSnapshot(const QString& label) const
{
    sweepLeftovers();
    if (!SnapshotFiles::exists(preferencesFolder()))
        return Error{Error::Case::prefsNotFound, {}};
    if (QString reason = m_fm->makePath(snapshotRoot()); !reason.isEmpty())
        return Error{Error::Case::fileManager, reason};

    const QString cleaned = SnapshotCore::cleanLabel(label);
    const QString folder = newFolderPath(snapshotRoot(), cleaned);
    if (QString reason = SnapshotCore::buildCopy(*m_fm, folder, preferencesFolder()); !reason.isEmpty())
        return Error{Error::Case::snapshotFailed, reason};
    return SnapshotCore::recordFor(folder, cleaned, m_clock->now());
}

std::optional<ProToolsPrefsError> ProToolsPrefsManager::restoreSnapshot(const ProToolsSnapshot& snapshot) const
{
    sweepLeftovers();
    // A snapshot that is a link holds no saved copy; restoring it would bring back whatever it
    // leads to now.
    if (SnapshotFiles::isLink(snapshot.path()))
        return Error{Error::Case::restoreFailed,
                     QStringLiteral("The snapshot is a link, not a saved copy; nothing was changed.")};
    // An empty or unreadable snapshot would replace the preferences with nothing.
    const auto entries = SnapshotCore::visibleEntries(snapshot.path());
    if (!entries || entries->empty())
        return Error{Error::Case::restoreFailed, SnapshotCore::kEmptySnapshotText};

    const QString live = preferencesFolder();
    SnapshotCore::RestorePlan plan;
    plan.what = QStringLiteral("Pro Tools");
    plan.label = snapshot.label;
    plan.stagingParent = SnapshotFiles::parentPath(live);
    plan.copies.push_back({snapshot.path(), SnapshotFiles::fileName(live)});
    plan.placements.push_back({SnapshotFiles::fileName(live), live});
    if (SnapshotFiles::exists(live))
        plan.backups.push_back({live, siblingName(QStringLiteral("Before Restore"), m_clock->now())});

    const auto failure = SnapshotCore::restore(*m_fm, std::move(plan));
    if (!failure)
        return std::nullopt;
    return Error{Error::Case::restoreFailed, failure->describe(QStringLiteral("Could not move current prefs: "))};
}

std::optional<ProToolsPrefsError> ProToolsPrefsManager::resetPreferences() const
{
    sweepLeftovers();
    if (!SnapshotFiles::exists(preferencesFolder()))
        return Error{Error::Case::prefsNotFound, {}};
    if (auto made = createSnapshot(SnapshotCore::kBeforeResetLabel); !made.ok())
        return made.error();
    const QString backup = siblingName(QStringLiteral("Backup"), m_clock->now());
    if (QString reason = m_fm->moveItem(preferencesFolder(), backup); !reason.isEmpty())
        return Error{Error::Case::resetFailed, reason};
    return std::nullopt;
}
