#include "catalogue/ProfileManager.h"

#include "Platform/testing/ManualClock.h"
#include "Support/FileSizeLimit.h"
#include "Support/SandboxTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

const QUuid kProfileId = QUuid::fromString(QStringLiteral("{0F8FAD5B-D9CB-469F-A165-70867728950E}"));

AudioPlugin plugin(const QString& name, PluginFormat format = PluginFormat::vst3, bool enabled = true)
{
    const QString path = QStringLiteral("/p/") + name;
    return AudioPlugin{
        QUuid::createUuid(), name,        QStringLiteral("Acme"), format, path, path, enabled, std::nullopt,
        std::nullopt,        std::nullopt};
}

QStringList names(const QList<AudioPlugin>& plugins)
{
    QStringList list;
    for (const AudioPlugin& p : plugins)
        list << p.name;
    return list;
}

PluginProfile knownProfile()
{
    PluginProfile profile;
    profile.id = kProfileId;
    profile.name = QStringLiteral("Mix");
    profile.createdAt = dateFromJsonSeconds(700000000.5);
    profile.enabledPlugins = {QStringLiteral("A|VST3")};
    profile.totalPluginCount = 2;
    profile.allPluginKeys = {QStringLiteral("B|Audio Units"), QStringLiteral("A|VST3")};
    return profile;
}

const QByteArray kKnownProfilesFile =
    R"([{"allPluginKeys":["A|VST3","B|Audio Units"],"createdAt":700000000.5,"enabledPlugins":["A|VST3"],)"
    R"("id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Mix","totalPluginCount":2}])";

// Files that exist but are not what we wrote: each must be kept aside, never overwritten.
struct BadFile {
    const char* name;
    QByteArray bytes;
};

QList<BadFile> badProfileFiles()
{
    return {
        {"one bad profile", QByteArray(kKnownProfilesFile)
                                .replace("\"totalPluginCount\":2", "\"totalPluginCount\":\"2\"")
                                .replace("}]", "},{\"name\":\"no id\"}]")},
        {"truncated", kKnownProfilesFile.left(40)},
        {"object instead of array", "{\"profiles\":[]}"},
        {"invalid UTF-8", "[\"\xff\xfe\"]"},
        {"deep nesting", QByteArray(5000, '[') + QByteArray(5000, ']')},
        {"empty file", ""},
    };
}

} // namespace

class ProfileManagerTest : public SandboxTest {
protected:
    QString profilesFile() const { return dataDir() + QStringLiteral("/profiles.json"); }
    QString pendingFile() const { return dataDir() + QStringLiteral("/pending_new_plugins.json"); }
    QStringList dataFiles() const { return QDir(dataDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>();
};

// --- coding ---------------------------------------------------------------

TEST_F(ProfileManagerTest, ProfilesFileIsCompactSortedAndStable)
{
    // Loaded from a loosely formatted file, saved back unchanged: exactly the compact form.
    writeFile(profilesFile(), QJsonDocument(QJsonArray{knownProfile().toJson()}).toJson(QJsonDocument::Indented));
    ProfileManager manager(nullptr, m_clock);
    ASSERT_EQ(manager.profiles().size(), 1);
    EXPECT_EQ(manager.profiles().first(), knownProfile());
    manager.dismissNewPlugins({});
    EXPECT_EQ(readFile(profilesFile()), kKnownProfilesFile);
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST(ProfileDocumentTest, WritesThePrettyLayoutByteForByte)
{
    PluginProfile profile = knownProfile();
    profile.createdAt = dateFromJsonSeconds(0);
    profile.enabledPlugins.clear();
    profile.name = QStringLiteral("Live \"A\"/B\n\U0001F3B8");
    const QByteArray expected = "{\n"
                                "  \"allPluginKeys\" : [\n"
                                "    \"A|VST3\",\n"
                                "    \"B|Audio Units\"\n"
                                "  ],\n"
                                "  \"createdAt\" : 0,\n"
                                "  \"enabledPlugins\" : [\n"
                                "\n"
                                "  ],\n"
                                "  \"id\" : \"0F8FAD5B-D9CB-469F-A165-70867728950E\",\n"
                                "  \"name\" : \"Live \\\"A\\\"/B\\n\xF0\x9F\x8E\xB8\",\n"
                                "  \"totalPluginCount\" : 2\n"
                                "}";
    const auto bytes = ProfileDocument{profile}.write();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, expected);

    // What we write we read back, and any JSON parser agrees.
    const auto document = ProfileDocument::read(*bytes);
    ASSERT_TRUE(document && document->profile);
    EXPECT_EQ(*document->profile, profile);
    EXPECT_TRUE(QJsonDocument::fromJson(*bytes).isObject());

    profile.createdAt = dateFromJsonSeconds(700000000.25);
    EXPECT_TRUE(ProfileDocument{profile}.write()->contains("\"createdAt\" : 700000000.25,\n"));
}

TEST(ProfileDocumentTest, EmptyDocumentAndBadBytes)
{
    EXPECT_FALSE(ProfileDocument{}.write());
    const auto empty = ProfileDocument::read({});
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->profile);
    DecodeError error;
    EXPECT_FALSE(ProfileDocument::read("[1,2]", &error));
    EXPECT_FALSE(error.message.isEmpty());
}

TEST(PluginProfileTest, DecodingRequiresMembersOfTheRightType)
{
    const QByteArray full = R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Mix","createdAt":10,)"
                            R"("enabledPlugins":["A|VST3"],"totalPluginCount":3,"allPluginKeys":["A|VST3","B|VST"]})";
    struct Row {
        const char* name;
        QByteArray json;
        bool decodes;
    };
    const auto replaced = [&](const char* from, const char* to) { return QByteArray(full).replace(from, to); };
    const Row rows[] = {
        {"complete", full, true},
        {"lower-case id", replaced("0F8FAD5B-D9CB-469F-A165-70867728950E", "0f8fad5b-d9cb-469f-a165-70867728950e"),
         true},
        {"count written as 3.0", replaced("\"totalPluginCount\":3", "\"totalPluginCount\":3.0"), true},
        {"no allPluginKeys", replaced(",\"allPluginKeys\":[\"A|VST3\",\"B|VST\"]", ""), true},
        {"no totalPluginCount", replaced("\"totalPluginCount\":3,", ""), false},
        {"no id", replaced("\"id\":\"0F8FAD5B-D9CB-469F-A165-70867728950E\",", ""), false},
        {"id not a UUID", replaced("0F8FAD5B-D9CB-469F-A165-70867728950E", "not-a-uuid"), false},
        {"no name", replaced("\"name\":\"Mix\",", ""), false},
        {"name a number", replaced("\"Mix\"", "7"), false},
        {"createdAt text", replaced("\"createdAt\":10", "\"createdAt\":\"10\""), false},
        {"no enabledPlugins", replaced("\"enabledPlugins\":[\"A|VST3\"],", ""), false},
        {"enabledPlugins text", replaced("[\"A|VST3\"],\"total", "\"A|VST3\",\"total"), false},
        {"enabledPlugins holds a number", replaced("[\"A|VST3\"],\"total", "[1],\"total"), false},
        {"count fractional", replaced("\"totalPluginCount\":3", "\"totalPluginCount\":3.5"), false},
        {"count text", replaced("\"totalPluginCount\":3", "\"totalPluginCount\":\"3\""), false},
        {"allPluginKeys null", replaced("[\"A|VST3\",\"B|VST\"]", "null"), true},
        {"allPluginKeys text", replaced("[\"A|VST3\",\"B|VST\"]", "\"A|VST3\""), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DecodeError error;
        const auto profile = PluginProfile::fromJson(QJsonDocument::fromJson(row.json).object(), &error);
        EXPECT_EQ(profile.has_value(), row.decodes) << error.message.toStdString();
        if (profile && (std::string(row.name) == "no allPluginKeys" || std::string(row.name) == "allPluginKeys null")) {
            EXPECT_EQ(profile->allPluginKeys, profile->enabledPlugins);
        }
        if (!profile) {
            EXPECT_FALSE(error.message.isEmpty());
        }
    }
}

// --- profiles ---------------------------------------------------------------

TEST_F(ProfileManagerTest, SaveProfileSnapshotsEnabledAndAllKeys)
{
    ProfileManager manager(nullptr, m_clock);
    manager.saveProfile(QStringLiteral("Set"), {plugin(QStringLiteral("A")), plugin(QStringLiteral("A")),
                                                plugin(QStringLiteral("B"), PluginFormat::au, false)});
    ASSERT_EQ(manager.profiles().size(), 1);
    const PluginProfile& profile = manager.profiles().first();
    EXPECT_EQ(profile.name, QStringLiteral("Set"));
    EXPECT_EQ(profile.createdAt, m_clock->now());
    EXPECT_EQ(profile.enabledPlugins, (QSet<QString>{QStringLiteral("A|VST3")}));
    EXPECT_EQ(profile.allPluginKeys, (QSet<QString>{QStringLiteral("A|VST3"), QStringLiteral("B|Audio Units")}));
    EXPECT_EQ(profile.totalPluginCount, 3); // duplicates count, keys collapse

    manager.saveProfileFromSelection(QStringLiteral("Sel"), {plugin(QStringLiteral("B"), PluginFormat::au, false)},
                                     {plugin(QStringLiteral("A")), plugin(QStringLiteral("B"), PluginFormat::au)});
    ASSERT_EQ(manager.profiles().size(), 2);
    EXPECT_EQ(manager.profiles().at(1).enabledPlugins, (QSet<QString>{QStringLiteral("B|Audio Units")}));
    EXPECT_EQ(manager.profiles().at(1).totalPluginCount, 2);

    // A new store reads back what was saved.
    ProfileManager reloaded(nullptr, m_clock);
    EXPECT_EQ(reloaded.profiles(), manager.profiles());
}

TEST_F(ProfileManagerTest, UpdateAndDeleteMatchById)
{
    writeFile(profilesFile(), kKnownProfilesFile);
    ProfileManager manager(nullptr, m_clock);

    PluginProfile vanished = knownProfile();
    vanished.id = QUuid::createUuid();
    QFile::remove(profilesFile());
    manager.updateProfile(vanished, {plugin(QStringLiteral("C"))});
    EXPECT_FALSE(QFileInfo::exists(profilesFile())) << "an unknown id writes nothing";
    EXPECT_EQ(manager.profiles().first(), knownProfile());

    PluginProfile renamed = knownProfile();
    renamed.name = QStringLiteral("Renamed");
    manager.updateProfile(renamed,
                          {plugin(QStringLiteral("C")), plugin(QStringLiteral("D"), PluginFormat::vst2, false)});
    const PluginProfile& updated = manager.profiles().first();
    EXPECT_EQ(updated.id, kProfileId);
    EXPECT_EQ(updated.name, QStringLiteral("Renamed"));
    EXPECT_EQ(updated.createdAt, knownProfile().createdAt);
    EXPECT_EQ(updated.enabledPlugins, (QSet<QString>{QStringLiteral("C|VST3")}));
    EXPECT_EQ(updated.allPluginKeys, (QSet<QString>{QStringLiteral("C|VST3"), QStringLiteral("D|VST")}));
    EXPECT_EQ(updated.totalPluginCount, 2);
    EXPECT_TRUE(QFileInfo::exists(profilesFile()));

    manager.saveProfile(QStringLiteral("Other"), {});
    manager.deleteProfile(renamed);
    ASSERT_EQ(manager.profiles().size(), 1);
    EXPECT_EQ(manager.profiles().first().name, QStringLiteral("Other"));
    EXPECT_EQ(ProfileManager(nullptr, m_clock).profiles(), manager.profiles());
}

TEST_F(ProfileManagerTest, ComputeChangesComparesEnabledKeysOnly)
{
    PluginProfile profile = knownProfile(); // wants A|VST3 only
    profile.enabledPlugins = {QStringLiteral("A|VST3"), QStringLiteral("B|VST3"), QStringLiteral("Gone|VST3")};
    const QList<AudioPlugin> current{
        plugin(QStringLiteral("A"), PluginFormat::vst3, false), // wanted, off -> enable
        plugin(QStringLiteral("B"), PluginFormat::vst3, true),  // wanted, on  -> nothing
        plugin(QStringLiteral("C"), PluginFormat::vst3, true),  // unwanted, on -> disable
        plugin(QStringLiteral("D"), PluginFormat::vst3, false), // unwanted, off -> nothing
        plugin(QStringLiteral("A"), PluginFormat::au, true),    // other format, unwanted -> disable
    };
    const auto changes = ProfileManager::computeChanges(profile, current);
    EXPECT_EQ(names(changes.toEnable), QStringList{QStringLiteral("A")});
    EXPECT_EQ(names(changes.toDisable), (QStringList{QStringLiteral("C"), QStringLiteral("A")}));
    EXPECT_EQ(changes.toDisable.at(1).format, PluginFormat::au);

    const auto none = ProfileManager::computeChanges(profile, {});
    EXPECT_TRUE(none.toEnable.isEmpty());
    EXPECT_TRUE(none.toDisable.isEmpty());
}

TEST_F(ProfileManagerTest, BundlesSharingAKeyMatchAFreshProfile)
{
    // Q-Bass in two Waves version folders, one enabled and one disabled, share one key.
    AudioPlugin v14 = plugin(QStringLiteral("Q-Bass"), PluginFormat::wavesBundle, true);
    AudioPlugin v15 = plugin(QStringLiteral("Q-Bass"), PluginFormat::wavesBundle, false);
    ProfileManager manager(nullptr, m_clock);
    manager.saveProfile(QStringLiteral("Now"), {v14, v15});
    const auto fresh = ProfileManager::computeChanges(manager.profiles().first(), {v14, v15});
    EXPECT_TRUE(fresh.toEnable.isEmpty());
    EXPECT_TRUE(fresh.toDisable.isEmpty());

    // With both off the wanted key enables both; an unwanted key disables every enabled copy.
    v14.isEnabled = false;
    EXPECT_EQ(ProfileManager::computeChanges(manager.profiles().first(), {v14, v15}).toEnable.size(), 2);
    PluginProfile none = manager.profiles().first();
    none.enabledPlugins.clear();
    v14.isEnabled = v15.isEnabled = true;
    EXPECT_EQ(ProfileManager::computeChanges(none, {v14, v15}).toDisable.size(), 2);
}

TEST_F(ProfileManagerTest, AddPluginsToProfilesAndDismiss)
{
    writeFile(profilesFile(), kKnownProfilesFile);
    ProfileManager manager(nullptr, m_clock);
    manager.saveProfile(QStringLiteral("Untouched"), {plugin(QStringLiteral("A"))});
    const PluginProfile untouched = manager.profiles().at(1);

    // Empty ids still rewrite the file, with unchanged content.
    QFile::remove(profilesFile());
    manager.addPluginsToProfiles({plugin(QStringLiteral("N"))}, {}, true);
    ASSERT_TRUE(QFileInfo::exists(profilesFile()));
    EXPECT_EQ(manager.profiles().first(), knownProfile());

    const QList<AudioPlugin> fresh{plugin(QStringLiteral("N")), plugin(QStringLiteral("M"), PluginFormat::clap)};
    manager.addPluginsToProfiles(fresh, {kProfileId}, true);
    manager.addPluginsToProfiles(fresh, {kProfileId}, true);
    PluginProfile profile = manager.profiles().first();
    EXPECT_EQ(profile.totalPluginCount, 2 + 2 + 2) << "each call raises the count";
    EXPECT_EQ(profile.enabledPlugins,
              (QSet<QString>{QStringLiteral("A|VST3"), QStringLiteral("N|VST3"), QStringLiteral("M|CLAP")}));
    EXPECT_EQ(profile.allPluginKeys, (QSet<QString>{QStringLiteral("A|VST3"), QStringLiteral("B|Audio Units"),
                                                    QStringLiteral("N|VST3"), QStringLiteral("M|CLAP")}));
    EXPECT_EQ(profile.name, QStringLiteral("Mix"));
    EXPECT_EQ(profile.createdAt, knownProfile().createdAt);
    EXPECT_EQ(manager.profiles().at(1), untouched);

    manager.addPluginsToProfiles({plugin(QStringLiteral("Off"))}, {kProfileId}, false);
    profile = manager.profiles().first();
    EXPECT_FALSE(profile.enabledPlugins.contains(QStringLiteral("Off|VST3")));
    EXPECT_TRUE(profile.allPluginKeys.contains(QStringLiteral("Off|VST3")));

    // Dismissed plug-ins become known everywhere without changing counts or wishes; an
    // enabled one the profile does not want is then something applying would disable.
    const AudioPlugin dismissed = plugin(QStringLiteral("Z"));
    manager.dismissNewPlugins({dismissed});
    for (const PluginProfile& p : manager.profiles()) {
        EXPECT_TRUE(p.allPluginKeys.contains(QStringLiteral("Z|VST3")));
        EXPECT_FALSE(p.enabledPlugins.contains(QStringLiteral("Z|VST3")));
    }
    EXPECT_EQ(manager.profiles().first().totalPluginCount, 7);
    EXPECT_EQ(names(ProfileManager::computeChanges(manager.profiles().first(), {dismissed}).toDisable),
              QStringList{QStringLiteral("Z")});
    EXPECT_EQ(ProfileManager(nullptr, m_clock).profiles(), manager.profiles());
}

// --- pending new plug-ins ---------------------------------------------------------

TEST_F(ProfileManagerTest, PendingNewPlugins)
{
    ProfileManager manager(nullptr, m_clock);
    const AudioPlugin b = plugin(QStringLiteral("B"));
    const AudioPlugin a = plugin(QStringLiteral("A"), PluginFormat::au);
    const AudioPlugin other = plugin(QStringLiteral("Other"));
    EXPECT_TRUE(manager.pendingNewPluginsFrom({a, b}).isEmpty());

    manager.setPendingNewPlugins({b, a});
    EXPECT_EQ(readFile(pendingFile()), QByteArray(R"(["A|Audio Units","B|VST3"])"));
    EXPECT_EQ(names(manager.pendingNewPluginsFrom({other, a, b})),
              (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(names(manager.pendingNewPluginsFrom({b, other, a})),
              (QStringList{QStringLiteral("B"), QStringLiteral("A")}));
    EXPECT_EQ(ProfileManager(nullptr, m_clock).pendingNewPluginKeys(), manager.pendingNewPluginKeys());

    manager.setPendingNewPlugins({other}); // replaces, never extends
    EXPECT_EQ(manager.pendingNewPluginKeys(), (QSet<QString>{QStringLiteral("Other|VST3")}));

    manager.setPendingNewPlugins({});
    EXPECT_EQ(readFile(pendingFile()), QByteArray("[]"));

    manager.clearPendingNewPlugins();
    EXPECT_FALSE(QFileInfo::exists(pendingFile()));
    manager.clearPendingNewPlugins();
    EXPECT_TRUE(manager.pendingNewPluginKeys().isEmpty());
    EXPECT_TRUE(printedLines().isEmpty());
}

// --- import ------------------------------------------------------------------

TEST_F(ProfileManagerTest, ImportAppendsUnderANewIdEachTime)
{
    const QString file = home() + QStringLiteral("/Mix.json");
    writeFile(file, *ProfileDocument{knownProfile()}.write());
    ProfileManager manager(nullptr, m_clock);
    EXPECT_EQ(manager.importProfile(file), QString());
    EXPECT_EQ(manager.importProfile(file), QString());
    ASSERT_EQ(manager.profiles().size(), 2);
    QSet<QUuid> ids;
    for (PluginProfile p : manager.profiles()) {
        ids.insert(p.id);
        p.id = kProfileId;
        EXPECT_EQ(p, knownProfile()) << "all but the id come from the file";
    }
    EXPECT_EQ(ids.size(), 2);
    EXPECT_FALSE(ids.contains(kProfileId));
    EXPECT_EQ(ProfileManager(nullptr, m_clock).profiles(), manager.profiles());
}

TEST_F(ProfileManagerTest, ImportRefusesWhatIsNotOneProfile)
{
    const QString dir = home() + QStringLiteral("/import");
    makeDir(dir + QStringLiteral("/folder.json"));
    writeFile(dir + QStringLiteral("/empty.json"), {});
    writeFile(dir + QStringLiteral("/binary.json"), rawBytes("\x00\x01\x02\xff\xfe PNG"));
    writeFile(dir + QStringLiteral("/truncated.json"), ProfileDocument{knownProfile()}.write()->left(60));
    writeFile(dir + QStringLiteral("/array.json"), kKnownProfilesFile);
    writeFile(dir + QStringLiteral("/nocount.json"),
              ProfileDocument{knownProfile()}.write()->replace(",\n  \"totalPluginCount\" : 2", ""));
    writeFile(dir + QStringLiteral("/utf8.json"),
              ProfileDocument{knownProfile()}.write()->replace("\"Mix\"", "\"M\xc3\x28x\""));
    writeFile(dir + QStringLiteral("/deep.json"), QByteArray(100000, '[') + QByteArray(100000, ']'));
    {
        // Sparse, so it costs no disk: larger than any profile may be.
        QFile huge(dir + QStringLiteral("/huge.json"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        huge.write("{");
        ASSERT_TRUE(huge.resize(ProfileManager::kMaxImportBytes + 1));
    }

    ProfileManager manager(nullptr, m_clock);
    for (const char* name : {"missing.json", "folder.json", "empty.json", "binary.json", "truncated.json", "array.json",
                             "nocount.json", "utf8.json", "deep.json", "huge.json"}) {
        SCOPED_TRACE(name);
        const QString reason = manager.importProfile(dir + QLatin1Char('/') + QLatin1String(name));
        EXPECT_FALSE(reason.isEmpty());
    }
    EXPECT_TRUE(manager.profiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(profilesFile()));
    EXPECT_EQ(manager.importProfile(dir + QStringLiteral("/empty.json")), QStringLiteral("The file is empty."));
}

TEST_F(ProfileManagerTest, ImportCopesWithLargeKeySets)
{
    PluginProfile big = knownProfile();
    for (int i = 0; i < 100000; ++i)
        big.enabledPlugins.insert(QStringLiteral("Plugin %1|VST3").arg(i));
    const QString file = home() + QStringLiteral("/big.json");
    writeFile(file, *ProfileDocument{big}.write());
    ProfileManager manager(nullptr, m_clock);
    ASSERT_EQ(manager.importProfile(file), QString());
    EXPECT_EQ(manager.profiles().first().enabledPlugins.size(), 100001);
}

// --- side-file safety ------------------------------------------------------------

TEST_F(ProfileManagerTest, UnreadableFilesAreKeptAsideBeforeTheFirstWrite)
{
    struct Target {
        const char* file;
        std::function<void(ProfileManager&)> firstWrite;
    };
    const Target targets[] = {
        {"profiles.json",
         [](ProfileManager& m) { m.saveProfile(QStringLiteral("New"), {plugin(QStringLiteral("A"))}); }},
        {"pending_new_plugins.json", [](ProfileManager& m) { m.setPendingNewPlugins({plugin(QStringLiteral("A"))}); }},
        {"pending_new_plugins.json", [](ProfileManager& m) { m.clearPendingNewPlugins(); }},
    };
    for (const Target& target : targets) {
        for (const BadFile& bad : badProfileFiles()) {
            SCOPED_TRACE(std::string(target.file) + ": " + bad.name);
            QDir(dataDir()).removeRecursively();
            clearPrintedLines();
            const QString path = dataDir() + QLatin1Char('/') + QLatin1String(target.file);
            writeFile(path, bad.bytes);

            ProfileManager manager(nullptr, m_clock);
            EXPECT_TRUE(manager.profiles().isEmpty());
            EXPECT_TRUE(manager.pendingNewPluginKeys().isEmpty());
            EXPECT_TRUE(printedLines().isEmpty()) << "loading says nothing";
            EXPECT_EQ(readFile(path), bad.bytes);

            target.firstWrite(manager);
            const QStringList kept =
                QDir(dataDir()).entryList({QLatin1String(target.file) + QStringLiteral(".unreadable-*")}, QDir::Files);
            ASSERT_EQ(kept.size(), 1);
            const QString keptPath = dataDir() + QLatin1Char('/') + kept.first();
            EXPECT_EQ(readFile(keptPath), bad.bytes);
            EXPECT_EQ(printedLines(), QStringList{QStringLiteral("⚠️ Could not read %1; kept it as %2")
                                                      .arg(QLatin1String(target.file), keptPath)});

            // Only once: later writes replace our own file.
            target.firstWrite(manager);
            EXPECT_EQ(printedLines().size(), 1);
        }
    }
}

TEST_F(ProfileManagerTest, FilesBeyondTheirSizeCapAreKeptAsideUnread)
{
    const struct {
        const char* file;
        QByteArray content; // valid: only its size is wrong
        qint64 cap;
        std::function<void(ProfileManager&)> firstWrite;
    } rows[] = {
        {"profiles.json", kKnownProfilesFile, ProfileManager::kMaxProfilesFileBytes,
         [](ProfileManager& m) { m.saveProfile(QStringLiteral("New"), {plugin(QStringLiteral("A"))}); }},
        {"pending_new_plugins.json", "[\"A|VST3\"]", ProfileManager::kMaxPendingFileBytes,
         [](ProfileManager& m) { m.setPendingNewPlugins({plugin(QStringLiteral("B"))}); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        QDir(dataDir()).removeRecursively();
        const QString path = dataDir() + QLatin1Char('/') + QLatin1String(row.file);
        const QByteArray bytes = row.content + QByteArray(row.cap + 1 - row.content.size(), ' ');
        writeFile(path, bytes);
        ProfileManager manager(nullptr, m_clock);
        EXPECT_TRUE(manager.profiles().isEmpty());
        EXPECT_TRUE(manager.pendingNewPluginKeys().isEmpty());
        row.firstWrite(manager);
        const QStringList kept =
            QDir(dataDir()).entryList({QLatin1String(row.file) + QStringLiteral(".unreadable-*")}, QDir::Files);
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(QFileInfo(dataDir() + QLatin1Char('/') + kept.first()).size(), bytes.size());
        EXPECT_LT(QFileInfo(path).size(), 1000);
    }
}

TEST_F(ProfileManagerTest, MissingFilesStartEmptySilently)
{
    ProfileManager manager(nullptr, m_clock);
    manager.saveProfile(QStringLiteral("One"), {});
    manager.setPendingNewPlugins({plugin(QStringLiteral("A"))});
    EXPECT_TRUE(printedLines().isEmpty());
    EXPECT_EQ(dataFiles(), (QStringList{QStringLiteral("pending_new_plugins.json"), QStringLiteral("profiles.json")}));
}

TEST_F(ProfileManagerTest, AFailedWriteKeepsTheOldFileWholeAndTheChangeInMemory)
{
    writeFile(profilesFile(), kKnownProfilesFile);
    ProfileManager manager(nullptr, m_clock);
    {
        const FileSizeLimit limit(16);
        manager.saveProfile(QStringLiteral("New"), {plugin(QStringLiteral("A"))});
        manager.setPendingNewPlugins({plugin(QStringLiteral("A")), plugin(QStringLiteral("B")),
                                      plugin(QStringLiteral("C")), plugin(QStringLiteral("D")),
                                      plugin(QStringLiteral("E"))});
    }
    EXPECT_EQ(readFile(profilesFile()), kKnownProfilesFile);
    EXPECT_FALSE(QFileInfo::exists(pendingFile()));
    EXPECT_EQ(manager.profiles().size(), 2);
    EXPECT_EQ(manager.pendingNewPluginKeys().size(), 5);
    ASSERT_EQ(printedLines().size(), 2);
    EXPECT_TRUE(printedLines().at(0).startsWith(QStringLiteral("❌ Could not save profiles.json: ")));
    EXPECT_TRUE(printedLines().at(1).startsWith(QStringLiteral("❌ Could not save pending_new_plugins.json: ")));
    EXPECT_EQ(dataFiles(), QStringList{QStringLiteral("profiles.json")}) << "no temporary files are left behind";

    manager.saveProfile(QStringLiteral("Later"), {});
    EXPECT_EQ(ProfileManager(nullptr, m_clock).profiles().size(), 3);
}

TEST_F(ProfileManagerTest, AnUnwritableDataFolderGivesDiagnosticsOnly)
{
    // D below a regular file can never be created, whoever runs the test.
    const QString blocker = home() + QStringLiteral("/blocker");
    writeFile(blocker, "x");
    qputenv("XDG_DATA_HOME", (blocker + QStringLiteral("/data")).toUtf8());

    ProfileManager manager(nullptr, m_clock);
    manager.saveProfile(QStringLiteral("One"), {plugin(QStringLiteral("A"))});
    manager.setPendingNewPlugins({plugin(QStringLiteral("A"))});
    manager.clearPendingNewPlugins();
    EXPECT_EQ(manager.profiles().size(), 1);
    ASSERT_EQ(printedLines().size(), 2);
    EXPECT_TRUE(printedLines().at(0).startsWith(QStringLiteral("❌ Could not save profiles.json: ")));
    EXPECT_TRUE(printedLines().at(1).startsWith(QStringLiteral("❌ Could not save pending_new_plugins.json: ")));
}
