// No preference byte is ever lost. For each workstation, preference trees with names in other
// encodings and with quotes and line breaks, links (a linked item among them), read-only folders
// and a large file are saved, changed, and restored through the menu, the restore cut off before
// each step in turn, once plainly and once after a step failed; then the helper starts again.
// Every byte the live preferences held before the restore must then be in place, or in a backup
// folder that an alert named (or, after "Snapshot Restored", in the backup the confirmation
// announced), and nothing hidden may stay behind.
#include "MenuBarHelper/snapshots/DAWPrefsMenus.h"
#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"
#include "MenuBarHelper/snapshots/ProToolsPrefsManager.h"
#include "MenuBarHelper/snapshots/StudioOnePrefsManager.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "snapshots/SnapshotStoreTest.h"
#include "widgets/Prompter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Hashes = std::map<QByteArray, QByteArray>; // path below an item -> hash of its bytes

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QByteArray hashOf(const QByteArray& path)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<unreadable>";
    char buffer[65536];
    for (ssize_t got = 0; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        hash.addData(QByteArrayView(buffer, got));
    ::close(fd);
    return hash.result().toHex();
}

// Every file's and link's bytes below `path`, keyed by the path below `prefix`; a link at the
// top is followed, as the user's content is what it leads to.
void collect(const QByteArray& path, const QByteArray& key, bool top, Hashes& into)
{
    struct stat info {};
    if ((top ? ::stat(path.constData(), &info) : ::lstat(path.constData(), &info)) != 0)
        return;
    if (S_ISLNK(info.st_mode)) {
        QByteArray target(4096, '\0');
        target.truncate(::readlink(path.constData(), target.data(), static_cast<size_t>(target.size())));
        into[key] = "link:" + target;
    } else if (S_ISREG(info.st_mode)) {
        into[key] = hashOf(path);
    } else if (S_ISDIR(info.st_mode)) {
        into[key + '/'] = "folder";
        DIR* dir = ::opendir(path.constData());
        while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                collect(path + '/' + name, key + '/' + name, false, into);
        }
        if (dir)
            ::closedir(dir);
    }
}

Hashes hashes(const QString& path, const QByteArray& key)
{
    Hashes found;
    collect(encoded(path), key, true, found);
    return found;
}

// Writes a file whose path may hold any bytes, its parents made as needed.
void put(const QByteArray& path, const QByteArray& bytes, mode_t folderMode = 0755)
{
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), folderMode);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
}

// A preference tree of the awkward kinds, its bytes depending on `version`.
void makeTree(const QString& folder, int version, bool withLargeFile)
{
    const QByteArray base = encoded(folder);
    const QByteArray v = QByteArray::number(version);
    put(base + "/caf\xe9 \"quoted\".plist", "latin-1 name " + v); // not UTF-8
    put(base + "/\xff\xfe odd/line\nbreak", "inside " + v);
    put(base + "/Key Commands", "keys " + v);
    ::symlink("Key Commands", (base + "/latest").constData());
    put(base + "/Locked/Preset", "preset " + v);
    ::chmod((base + "/Locked").constData(), 0555);
    if (withLargeFile)
        put(base + "/Large.bin", QByteArray(2 * 1024 * 1024 + 7, static_cast<char>('a' + version)));
}

/// One live preference item, and where it sits in a backup folder and in a snapshot folder
/// ("" for the folder itself).
struct Item {
    QString live;
    QString inBackup;
    QString inSnapshot;
};

/// One workstation's preferences, as the test saves, changes and restores them.
struct Subject {
    const char* name;
    std::function<void(int version)> makeLive;
    std::vector<Item> items;
    QStringList leftoverFolders;                    // where nothing hidden may stay; the last holds the snapshots
    QString backupFolder;                           // where a restore now backs the live items up
    bool sameNameReplaces;                          // a save of a name taken in the same second replaces that snapshot
    std::function<bool(const QString& label)> save; // with the store the menus work on
    std::function<void(DAWPrefsMenus&)> restoreNewest;
};

class SnapshotLossTest : public SnapshotStoreTest {
protected:
    void SetUp() override
    {
        SnapshotStoreTest::SetUp();
        prompter = std::make_shared<ScriptedPrompter>();
        start(files);
    }
    void TearDown() override
    {
        menus.reset();
        SnapshotStoreTest::TearDown();
    }

    /// A start of the helper: new stores over `work`, and the menus over them.
    void start(const std::shared_ptr<SnapshotFiles>& work)
    {
        stores = storesOver(work);
        menus = std::make_unique<DAWPrefsMenus>(stores, *prompter, std::make_shared<RecordingWorkspace>(), [] {});
    }

    std::vector<Subject> subjects();
    Hashes liveHashes(const Subject& subject) const;
    /// What a snapshot folder holds, under the keys of liveHashes().
    Hashes snapshotHashes(const Subject& subject, const QString& folder) const;
    /// The folders that the alerts shown so far named.
    QStringList toldFolders() const;
    void expectNothingLost(const Subject& subject, const Hashes& originals, const Hashes& snapshot);

    std::shared_ptr<ScriptedPrompter> prompter;
    SnapshotStores stores;
    std::unique_ptr<DAWPrefsMenus> menus;
};

std::vector<Subject> SnapshotLossTest::subjects()
{
    const QString prefs = usr(QStringLiteral("/Library/Preferences"));
    const QString synced = usr(QStringLiteral("/Synced/logic10"));
    const QString avid = prefs + QStringLiteral("/Avid");
    const QString studio = usr(QStringLiteral("/Library/Application Support/PreSonus/Studio One 6"));
    const StudioOneVersion six{QStringLiteral("Studio One 6"), QStringLiteral("Studio One 6"),
                               QUrl::fromLocalFile(studio)};
    return {
        {"Logic Pro",
         [=](int version) {
             put(encoded(prefs + QStringLiteral("/com.apple.logic10.plist")),
                 QByteArray(1024 * 1024 * version, 'p')); // large, and of another size each time
             makeTree(synced, version, false);
             ::symlink("../../Synced/logic10", encoded(prefs + QStringLiteral("/com.apple.logic10")).constData());
             if (version == 2) // live now, not in the snapshot: it ends up only in the backup
                 put(encoded(prefs + QStringLiteral("/com.apple.logic.pro.cs")), "cs");
         },
         {{prefs + QStringLiteral("/com.apple.logic10.plist"), QStringLiteral("com.apple.logic10.plist"),
           QStringLiteral("com.apple.logic10.plist")},
          {prefs + QStringLiteral("/com.apple.logic10"), QStringLiteral("com.apple.logic10"),
           QStringLiteral("com.apple.logic10")},
          {prefs + QStringLiteral("/com.apple.logic.pro.cs"), QStringLiteral("com.apple.logic.pro.cs"),
           QStringLiteral("com.apple.logic.pro.cs")}},
         {prefs, LogicProPrefsManager::snapshotRoot()},
         prefs + QStringLiteral("/LogicPro_BeforeRestore_") + kNowText,
         false,
         [this](const QString& label) { return stores.logicPro->createSnapshot(label).ok(); },
         [this](DAWPrefsMenus& m) { m.restoreLogicProSnapshot(stores.logicPro->listSnapshots().at(0).id); }},
        {"Pro Tools",
         [=](int version) { makeTree(avid + QStringLiteral("/Pro Tools"), version, true); },
         {{avid + QStringLiteral("/Pro Tools"), QString(), QString()}},
         {avid, ProToolsPrefsManager::snapshotRoot()},
         avid + QStringLiteral("/Pro Tools (Before Restore ") + kNowText + u')',
         false,
         [this](const QString& label) { return stores.proTools->createSnapshot(label).ok(); },
         [this](DAWPrefsMenus& m) { m.restoreProToolsSnapshot(stores.proTools->listSnapshots().at(0).id); }},
        {"Studio One",
         [=](int version) {
             put(encoded(studio + QStringLiteral("/Studio One.settings")), QByteArray(1024 * 1024 + version, 's'));
             makeTree(studio + QStringLiteral("/Surface Data[1]"), version, false);
             put(encoded(studio + QStringLiteral("/ARM64/Vstplugins.settings")), "vst " + QByteArray::number(version));
         },
         {{studio + QStringLiteral("/Studio One.settings"), QStringLiteral("Studio One.settings"),
           QStringLiteral("Studio One.settings")},
          {studio + QStringLiteral("/Surface Data[1]"), QStringLiteral("Surface Data[1]"),
           QStringLiteral("Surface Data[1]")},
          {studio + QStringLiteral("/ARM64/Vstplugins.settings"), QStringLiteral("Vstplugins.settings"),
           QStringLiteral("ARM64/Vstplugins.settings")}},
         {studio, StudioOnePrefsManager::snapshotFolder(six.id)},
         studio + QStringLiteral("/Rackhand_BeforeRestore_") + kNowText,
         true,
         [this, six](const QString& label) { return stores.studioOne->createSnapshot(label, six).ok(); },
         [this, six](DAWPrefsMenus& m) {
             m.restoreStudioOneSnapshot(six.id + u'|' + stores.studioOne->listSnapshots(six).at(0).id);
         }},
    };
}

Hashes SnapshotLossTest::liveHashes(const Subject& subject) const
{
    Hashes live;
    for (const Item& item : subject.items)
        live.merge(hashes(item.live, encoded(SnapshotFiles::fileName(item.live))));
    return live;
}

Hashes SnapshotLossTest::snapshotHashes(const Subject& subject, const QString& folder) const
{
    Hashes saved;
    for (const Item& item : subject.items) {
        const QString path = item.inSnapshot.isEmpty() ? folder : folder + u'/' + item.inSnapshot;
        saved.merge(hashes(path, encoded(SnapshotFiles::fileName(item.live))));
    }
    return saved;
}

QStringList SnapshotLossTest::toldFolders() const
{
    QStringList folders;
    static const QRegularExpression quotedPath(QStringLiteral("“(/[^”]+)”"));
    for (const Prompter::Alert& alert : prompter->alerts) {
        for (const auto& match : quotedPath.globalMatch(alert.message))
            folders << match.captured(1);
    }
    return folders;
}

void SnapshotLossTest::expectNothingLost(const Subject& subject, const Hashes& originals, const Hashes& snapshot)
{
    QStringList told = toldFolders();
    const bool restored = std::any_of(prompter->alerts.cbegin(), prompter->alerts.cend(),
                                      [](const Prompter::Alert& a) { return a.title == "Snapshot Restored"; });
    if (restored)
        told << subject.backupFolder; // "Your current preferences will be backed up automatically."

    const Hashes live = liveHashes(subject);
    for (const auto& [key, hash] : originals) {
        // The item's name begins the key; in a backup folder it lands under its backup name.
        const QByteArray item = key.left(key.indexOf('/') < 0 ? key.size() : key.indexOf('/'));
        const auto found = live.find(key);
        bool kept = found != live.end() && found->second == hash;
        for (const Item& entry : subject.items) {
            if (kept || encoded(SnapshotFiles::fileName(entry.live)) != item)
                continue;
            for (const QString& folder : told) {
                const QString there = entry.inBackup.isEmpty() ? folder : folder + u'/' + entry.inBackup;
                const Hashes backedUp = hashes(there, item);
                const auto copy = backedUp.find(key);
                kept = kept || (copy != backedUp.end() && copy->second == hash);
            }
        }
        EXPECT_TRUE(kept) << "lost: " << key.toStdString();
    }
    // Finished or undone, never half of each.
    EXPECT_TRUE(live == originals || live == snapshot) << "the live preferences are a mix";
    for (const QString& folder : subject.leftoverFolders)
        EXPECT_EQ(hiddenNames(folder), QStringList()) << folder.toStdString();
}

TEST_F(SnapshotLossTest, EveryOriginalByteIsInPlaceOrInABackupTheUserIsToldAbout)
{
    for (const Subject& subject : subjects()) {
        SCOPED_TRACE(subject.name);
        subject.makeLive(1);
        const Hashes saved = liveHashes(subject);
        ASSERT_TRUE(subject.save(QStringLiteral("Mix")));
        const Hashes snapshotFolder = hashes(subject.leftoverFolders.last(), "snapshots");

        // Cut off before change `cut` (counted from 0), once plainly and once after a move failed.
        for (const bool failFirst : {false, true}) {
            for (int cut = 0;; ++cut) {
                SCOPED_TRACE(std::string(failFirst ? "failed, then cut before change " : "cut before change ") +
                             std::to_string(cut));
                for (const Item& item : subject.items)
                    SnapshotFiles().removeItem(item.live);
                SnapshotFiles().removeItem(subject.backupFolder);
                SnapshotFiles().removeItem(usr(QStringLiteral("/Synced")));
                subject.makeLive(2);
                const Hashes originals = liveHashes(subject);

                prompter->alerts.clear();
                prompter->nextAnswers = {0}; // "Restore"
                files->changes = 0;
                files->stopOn.clear();
                files->stopAt = cut;
                if (failFirst)
                    files->failMoveTo = {SnapshotFiles::fileName(subject.items.back().live)};
                start(files);
                bool cutOff = false;
                try {
                    subject.restoreNewest(*menus);
                } catch (const Stopped&) {
                    cutOff = true;
                }
                files->stopAt = -1;
                files->failMoveTo.clear();

                // The next start, over the disk as it was left.
                start(std::make_shared<SnapshotFiles>());
                menus->recoverInterruptedRestores();
                expectNothingLost(subject, originals, saved);
                EXPECT_EQ(hashes(subject.leftoverFolders.last(), "snapshots"), snapshotFolder); // untouched
                if (!cutOff) {
                    // Run to its end: every step has been cut. Uncut and unfailed, it restored.
                    if (!failFirst) {
                        EXPECT_EQ(prompter->alerts.last().title, QStringLiteral("Snapshot Restored"));
                        EXPECT_TRUE(liveHashes(subject) == saved);
                    }
                    break;
                }
            }
        }
    }
}

TEST_F(SnapshotLossTest, ASaveCutOffAtAnyStepLeavesTheSnapshotWholeOrNone)
{
    for (const Subject& subject : subjects()) {
        SCOPED_TRACE(subject.name);
        subject.makeLive(1);
        ASSERT_TRUE(subject.save(QStringLiteral("Mix")));
        const QString root = subject.leftoverFolders.last();
        const QString mix = root + u'/' + kNowText + QStringLiteral("_Mix");
        const Hashes first = snapshotHashes(subject, mix);
        for (const Item& item : subject.items)
            SnapshotFiles().removeItem(item.live);
        SnapshotFiles().removeItem(usr(QStringLiteral("/Synced")));
        subject.makeLive(2);
        const Hashes live = liveHashes(subject);

        // A new name, and (same second) the name just taken.
        for (const QString& label : {QStringLiteral("Fresh"), QStringLiteral("Mix")}) {
            const QString folder = root + u'/' + kNowText + u'_' + label;
            for (int cut = 0;; ++cut) {
                SCOPED_TRACE(label.toStdString() + ", cut before change " + std::to_string(cut));
                files->changes = 0;
                files->stopOn.clear();
                files->stopAt = cut;
                start(files);
                bool cutOff = false;
                bool saved = false;
                try {
                    saved = subject.save(label);
                } catch (const Stopped&) {
                    cutOff = true;
                }
                files->stopAt = -1;
                start(std::make_shared<SnapshotFiles>());
                menus->recoverInterruptedRestores();

                EXPECT_EQ(liveHashes(subject), live);
                EXPECT_EQ(hiddenNames(root), QStringList());
                const Hashes now = snapshotHashes(subject, folder);
                if (label == QStringLiteral("Fresh"))
                    EXPECT_TRUE(now.empty() || now == live) << "a half snapshot";
                else
                    EXPECT_TRUE(now == first || (subject.sameNameReplaces && now == live)) << "a half snapshot";
                if (!cutOff) {
                    EXPECT_EQ(saved, label == QStringLiteral("Fresh") || subject.sameNameReplaces);
                    break;
                }
                if (label == QStringLiteral("Fresh") && SnapshotFiles::exists(folder))
                    SnapshotFiles().removeItem(folder); // the next cut starts from no snapshot again
            }
        }
    }
}

} // namespace
