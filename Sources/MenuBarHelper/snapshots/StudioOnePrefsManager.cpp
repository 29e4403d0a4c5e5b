#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"

#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "Platform/Clock.h"
#include "Platform/Paths.h"

#include <QFileInfo>

#include <algorithm>

namespace {
using Error = StudioOnePrefsError;

struct VersionSource {
    const char* folder; // under the home folder
    const char* prefix;
};
constexpr VersionSource kVersionSources[] = {
    {"/Library/Application Support/PreSonus", "Studio One"},
    {"/Library/Application Support/Fender", "Studio Pro"},
};

bool contains(const std::optional<std::vector<QString>>& entries, const QString& name)
{
    return entries && std::find(entries->cbegin(), entries->cend(), name) != entries->cend();
}

// The first architecture sub-folder name that `exists` accepts; empty for none.
template <typename Exists>
QString firstSubfolder(Exists exists)
{
    for (const QString& name : StudioOnePrefsManager::arm64SubfolderNames()) {
        if (exists(name))
            return name;
    }
    return {};
}
} // namespace

QString StudioOnePrefsError::errorDescription() const
{
    if (kind == Case::notFound)
        return QStringLiteral("No Studio One preference files found.");
    return SnapshotCore::errorDescription(static_cast<int>(kind), message);
}

const QStringList& StudioOnePrefsManager::targetNames()
{
    static const QStringList names{QStringLiteral("Studio One.settings"), QStringLiteral("Studio Pro.settings"),
                                   QStringLiteral("WindowState.settings"), QStringLiteral("Surface Data[1]")};
    return names;
}

const QStringList& StudioOnePrefsManager::arm64TargetNames()
{
    static const QStringList names{QStringLiteral("Vstplugins.settings")};
    return names;
}

const QStringList& StudioOnePrefsManager::arm64SubfolderNames()
{
    static const QStringList names{QStringLiteral("ARM64"), QStringLiteral("Arm64")};
    return names;
}

QString StudioOnePrefsManager::snapshotRoot()
{
    return Paths::dataFile(QStringLiteral("StudioOneSnapshots"));
}

QString StudioOnePrefsManager::snapshotFolder(const QString& versionId)
{
    return snapshotRoot() + u'/' + versionId;
}

bool StudioOnePrefsManager::isInstalled() const
{
    return !installedVersions().empty() || QFileInfo::exists(snapshotRoot());
}

std::vector<StudioOneVersion> StudioOnePrefsManager::installedVersions() const
{
    std::vector<StudioOneVersion> versions;
    for (const VersionSource& source : kVersionSources) {
        const QString folder = Paths::user(QString::fromUtf8(source.folder));
        const auto entries = SnapshotCore::visibleEntries(folder);
        if (!entries)
            continue;
        for (const QString& name : *entries) {
            const QString path = folder + u'/' + name;
            if (name.startsWith(QString::fromUtf8(source.prefix), Qt::CaseSensitive) && QFileInfo(path).isDir())
                versions.push_back({name, name, QUrl::fromLocalFile(path)});
        }
    }
    std::stable_sort(versions.begin(), versions.end(),
                     [](const StudioOneVersion& a, const StudioOneVersion& b) { return a.name < b.name; });
    return versions;
}

std::vector<SnapshotCore::LeftoverPlace> StudioOnePrefsManager::leftoverPlaces() const
{
    std::vector<SnapshotCore::LeftoverPlace> places;
    for (const StudioOneVersion& version : installedVersions())
        places.push_back(
            {version.prefsPath(), {QStringLiteral("Rackhand_BeforeRestore_"), QStringLiteral("Rackhand_Backup_")}});
    if (const auto folders = SnapshotCore::visibleEntries(snapshotRoot())) {
        for (const QString& name : *folders)
            places.push_back({snapshotFolder(name), {}});
    }
    return places;
}

std::vector<StudioOnePrefsManager::Item> StudioOnePrefsManager::targetURLs(const StudioOneVersion& version) const
{
    const QString prefs = version.prefsPath();
    std::vector<Item> items;
    for (const QString& name : targetNames()) {
        if (SnapshotFiles::exists(prefs + u'/' + name))
            items.push_back({prefs + u'/' + name, {}});
    }
    const QString subfolder =
        firstSubfolder([&prefs](const QString& name) { return SnapshotFiles::exists(prefs + u'/' + name); });
    if (subfolder.isEmpty())
        return items;
    for (const QString& name : arm64TargetNames()) {
        const QString path = prefs + u'/' + subfolder + u'/' + name;
        if (SnapshotFiles::exists(path))
            items.push_back({path, subfolder});
    }
    return items;
}

std::vector<StudioOneSnapshot> StudioOnePrefsManager::listSnapshots(const StudioOneVersion& version) const
{
    std::vector<StudioOneSnapshot> snapshots;
    for (PrefsSnapshot& listed : SnapshotCore::listSnapshots(snapshotFolder(version.id)))
        snapshots.push_back({std::move(listed), version.id});
    return snapshots;
}

PrefsResult<StudioOneSnapshot, StudioOnePrefsError>
StudioOnePrefsManager::createSnapshot(const QString& label, const StudioOneVersion& version) const
{
    sweepLeftovers();
    const std::vector<Item> present = targetURLs(version);
    if (present.empty())
        return Error{Error::Case::notFound, {}};
    const QString versionFolder = snapshotFolder(version.id);
    if (QString reason = m_fm->makePath(versionFolder); !reason.isEmpty())
        return Error{Error::Case::fileManager, reason};

    const QString cleaned = SnapshotCore::cleanLabel(label);
    const QString folder = newFolderPath(versionFolder, cleaned);
    // An item's place in the snapshot follows the list it came from, never its path's text.
    std::vector<SnapshotCore::StagedCopy> copies;
    copies.reserve(present.size());
    for (const Item& item : present) {
        const QString name = SnapshotFiles::fileName(item.path);
        copies.push_back({item.path, item.subfolder.isEmpty() ? name : item.subfolder + u'/' + name});
    }
    // A snapshot of the same name from the same second is replaced whole, never half.
    if (QString reason = SnapshotCore::buildFolder(*m_fm, folder, copies, true); !reason.isEmpty())
        return Error{Error::Case::snapshotFailed, reason};
    return StudioOneSnapshot{SnapshotCore::recordFor(folder, cleaned, m_clock->now()), version.id};
}

SnapshotCore::RestorePlan StudioOnePrefsManager::restorePlan(const QString& snapshotPath,
                                                             const StudioOneVersion& version) const
{
    // Only the known names land; any other entry of the snapshot stays where it is.
    const QString prefs = version.prefsPath();
    SnapshotCore::RestorePlan plan;
    plan.what = version.name;
    plan.stagingParent = prefs;
    SnapshotCore::addKnownEntries(plan, snapshotPath, prefs, targetNames());
    const auto entries = SnapshotCore::visibleEntries(snapshotPath);
    const QString subfolder = firstSubfolder(
        [&](const QString& name) { return contains(entries, name) && QFileInfo(snapshotPath + u'/' + name).isDir(); });
    if (!subfolder.isEmpty())
        SnapshotCore::addKnownEntries(plan, snapshotPath, prefs, arm64TargetNames(), subfolder);
    plan.backupFolder = prefs + QStringLiteral("/Rackhand_BeforeRestore_") + SnapshotCore::timeText(m_clock->now());
    for (const Item& item : targetURLs(version))
        plan.backups.push_back({item.path, plan.backupFolder + u'/' + SnapshotFiles::fileName(item.path)});
    return plan;
}

std::optional<StudioOnePrefsError> StudioOnePrefsManager::restoreSnapshot(const StudioOneSnapshot& snapshot,
                                                                          const StudioOneVersion& version) const
{
    sweepLeftovers();
    SnapshotCore::RestorePlan plan = restorePlan(snapshot.path(), version);
    plan.label = snapshot.label;
    if (plan.copies.empty() && plan.refusal.isEmpty())
        return Error{Error::Case::restoreFailed, SnapshotCore::kEmptySnapshotText};
    const auto failure = SnapshotCore::restore(*m_fm, std::move(plan));
    if (!failure)
        return std::nullopt;
    return Error{Error::Case::restoreFailed, failure->describe(QStringLiteral("Could not back up current prefs: "))};
}

std::optional<StudioOnePrefsError> StudioOnePrefsManager::resetPreferences(const StudioOneVersion& version) const
{
    sweepLeftovers();
    const std::vector<Item> present = targetURLs(version);
    if (present.empty())
        return Error{Error::Case::notFound, {}};
    if (auto made = createSnapshot(SnapshotCore::kBeforeResetLabel, version); !made.ok())
        return made.error();

    const QString backup =
        version.prefsPath() + QStringLiteral("/Rackhand_Backup_") + SnapshotCore::timeText(m_clock->now());
    std::vector<SnapshotCore::Move> moves;
    moves.reserve(present.size());
    for (const Item& item : present)
        moves.push_back({item.path, backup + u'/' + SnapshotFiles::fileName(item.path)});
    if (QString reason = SnapshotCore::moveIntoFolder(*m_fm, backup, moves); !reason.isEmpty())
        return Error{Error::Case::resetFailed, reason};
    return std::nullopt;
}
