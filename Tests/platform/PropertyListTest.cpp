#include "Platform/AtomicFile.h"
#include "Platform/Paths.h"
#include "Platform/PropertyList.h"

#include "Support/SandboxTest.h"

#include <QDir>

class PropertyListTest : public SandboxTest {};

TEST_F(PropertyListTest, ReadsXmlAndBinaryAlike)
{
    const QVariantMap info{{"CFBundleIdentifier", "com.acme.echo"},
                           {"CFBundleShortVersionString", "1.2.3"},
                           {"AudioComponents", QVariantList{QVariantMap{{"name", "Acme: Echo"}}}}};
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "xml");
        const QString path = home() + (binary ? "/b.plist" : "/x.plist");
        ASSERT_TRUE(writePropertyList(path, info, binary));
        const QVariantMap read = readPropertyList(path);
        EXPECT_EQ(read.value("CFBundleIdentifier").toString(), QStringLiteral("com.acme.echo"));
        EXPECT_EQ(read.value("AudioComponents").toList().value(0).toMap().value("name").toString(),
                  QStringLiteral("Acme: Echo"));
    }
}

TEST_F(PropertyListTest, BadInputReadsAsNoValues)
{
    struct Row {
        const char* name;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"empty", QByteArray()},
        {"garbage", QByteArray("\x00\x01\x02garbage\xff", 12)},
        {"truncated xml", QByteArray("<?xml version=\"1.0\"?><plist><dict><key>A</key><str")},
        {"truncated binary", QByteArray("bplist00\xd1\x01\x02", 11)},
        {"array top level", QByteArray("<?xml version=\"1.0\"?><plist><array><string>x</string></array></plist>")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(home() + "/f.plist", row.bytes);
        EXPECT_TRUE(readPropertyList(home() + "/f.plist").isEmpty());
    }
    EXPECT_TRUE(readPropertyList(home() + "/missing.plist").isEmpty());
    EXPECT_TRUE(readPropertyList(home()).isEmpty()); // a folder
}

TEST_F(PropertyListTest, PathsFollowTheSandbox)
{
    EXPECT_EQ(Paths::system("/Library"), root() + "/Library");
    EXPECT_EQ(Paths::user("/Library"), home() + "/Library");
    EXPECT_TRUE(Paths::dataDir().endsWith("/data/Rackhand"));
    qputenv("RACKHAND_SYSTEM_ROOT", "/");
    EXPECT_EQ(Paths::system("/Library"), QStringLiteral("/Library"));
    EXPECT_FALSE(Paths::isSandboxRoot());
}

TEST_F(PropertyListTest, AtomicWriteReplacesWholeAndKeepAsideMovesFile)
{
    const QString path = Paths::dataFile("x.json");
    EXPECT_TRUE(writeFileAtomically(path, "one").isEmpty());
    EXPECT_TRUE(writeFileAtomically(path, "two").isEmpty());
    EXPECT_EQ(readFile(path), QByteArray("two"));
    const QString aside = keepUnreadableFileAside(path);
    EXPECT_TRUE(aside.startsWith(path + ".unreadable-"));
    EXPECT_EQ(readFile(aside), QByteArray("two"));
    EXPECT_FALSE(QFile::exists(path));
    // A folder in the way of the file: a reason, and nothing else changes.
    makeDir(Paths::dataFile("blocked.json"));
    EXPECT_FALSE(writeFileAtomically(Paths::dataFile("blocked.json"), "x").isEmpty());
}
