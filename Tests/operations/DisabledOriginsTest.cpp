#include "operations/DisabledOrigins.h"

#include "Platform/Paths.h"
#include "Support/SandboxTest.h"

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

} // namespace
