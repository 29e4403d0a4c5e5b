#include "operations/DisabledOrigins.h"

#include "Platform/Paths.h"
#include "Support/SandboxTest.h"
#include "catalogue/DisabledLayout.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

class DisabledOriginsTest : public SandboxTest {};

TEST_F(DisabledOriginsTest, DamagedFileIsKeptAsideNotOverwritten)
{
    const QString path = DisabledOrigins::defaultPath();
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {
        {"truncated", R"({"/a/X 1.vst3":"/b/X.vs)"},
        {"an array", R"(["/a/X 1.vst3"])"},
        {"not JSON", "\x01\x02garbage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dataDir()).removeRecursively();
        writeFile(path, c.content);
        DisabledOrigins origins;
        EXPECT_TRUE(origins.origins().isEmpty());
        origins.record(QStringLiteral("/d/Y.vst3"), QStringLiteral("/o/Y.vst3"));
        EXPECT_TRUE(origins.saveIfChanged().isEmpty());

        const QStringList kept = QDir(dataDir()).entryList({QStringLiteral("disabled_origins.json.unreadable-*")});
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(readFile(dataDir() + u'/' + kept.first()), c.content);
        EXPECT_EQ(DisabledOrigins().origins(), (QHash<QString, QString>{{"/d/Y.vst3", "/o/Y.vst3"}}));
    }
}

TEST_F(DisabledOriginsTest, PipeOrFolderAtThePathNeitherBlocksNorIsLost)
{
    const QString path = DisabledOrigins::defaultPath();
    makeDir(dataDir());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    DisabledOrigins origins; // must not block in open()
    EXPECT_TRUE(origins.origins().isEmpty());
    origins.record(QStringLiteral("/d/Y.vst3"), QStringLiteral("/o/Y.vst3"));
    EXPECT_TRUE(origins.saveIfChanged().isEmpty());
    EXPECT_EQ(DisabledOrigins().origins().size(), 1);
    EXPECT_EQ(QDir(dataDir()).entryList({QStringLiteral("disabled_origins.json.unreadable-*")}, QDir::System).size(),
              1);
}

TEST_F(DisabledOriginsTest, ARecordStaysWhileEitherOfItsPathsHoldsABundle)
{
    const QString disabled = root() + QStringLiteral("/Disabled/VST3/X 1.vst3");
    const QString original = root() + QStringLiteral("/VST3/X.vst3");
    auto found = [](const QString& path, bool enabled) {
        AudioPlugin plugin;
        plugin.name = DisabledLayout::splitFileName(DisabledLayout::fileName(path)).base;
        plugin.currentPath = plugin.originalPath = path;
        plugin.isEnabled = enabled;
        return plugin;
    };
    struct Case {
        const char* name;
        QString bundleAt; // empty: nowhere
        bool kept;
    };
    const Case cases[] = {
        {"moved", disabled, true},
        // A batch still running has not reached it yet: dropping it would send it home under the wrong name.
        {"not moved yet", original, true},
        {"gone from both paths", QString(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root()).removeRecursively();
        QList<AudioPlugin> scanned;
        if (!c.bundleAt.isEmpty()) {
            makeDir(c.bundleAt);
            scanned.append(found(c.bundleAt, c.bundleAt == original));
        }
        DisabledOrigins origins;
        origins.record(disabled, original);
        const QList<AudioPlugin> corrected = origins.apply(scanned);
        EXPECT_EQ(origins.origins().contains(disabled), c.kept);
        if (c.bundleAt == disabled) {
            EXPECT_EQ(corrected.first().originalPath, original);
            EXPECT_EQ(corrected.first().name, QStringLiteral("X"));
        }
    }
}

} // namespace
