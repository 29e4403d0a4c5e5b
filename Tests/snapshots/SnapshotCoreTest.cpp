#include "MenuBarHelper/snapshots/SnapshotCore.h"

#include "Support/FileSizeLimit.h"
#include "snapshots/SnapshotStoreTest.h"

#include <QLocale>

#include <sys/stat.h>

namespace {

using namespace SnapshotCore;

class SnapshotCoreTest : public SnapshotStoreTest {};

TEST(SnapshotNaming, CleansLabelsAndNamesFolders)
{
    const struct {
        const char* label;
        const char* cleaned;
        const char* folder;
    } cases[] = {
        {"  Live/Set:up  ", "Live-Set-up", "2025-03-07_091502_Live-Set-up"},
        {"   ", "", "2025-03-07_091502"},
        {"\n\tmix a\r\n", "mix a", "2025-03-07_091502_mix a"},
        {"mix_a", "mix_a", "2025-03-07_091502_mix_a"},
        {"a//b::c", "a--b--c", "2025-03-07_091502_a--b--c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(cleanLabel(QString::fromUtf8(c.label)), QString::fromUtf8(c.cleaned));
        EXPECT_EQ(folderName(QStringLiteral("2025-03-07_091502"), cleanLabel(QString::fromUtf8(c.label))),
                  QString::fromUtf8(c.folder));
    }
}

TEST(SnapshotNaming, SplitsFolderNamesIntoTimeAndLabel)
{
    const struct {
        const char* name;
        bool listed;
        const char* label;
    } cases[] = {
        {"2025-03-07_091502_mix_a", true, "mix_a"},
        {"2025-03-07_091502", true, ""},
        {"2025-03-07__091502_x", true, "x"}, // empty pieces do not count as splits
        {"_2025-03-07_091502_x", true, "x"},
        {"2025-03-07_091502__x", true, "_x"}, // the rest keeps its underscores
        {"notes", false, ""},
        {"2025-13-45_999999_x", false, ""},
        {"2025-03-07", false, ""},
        {"2025-03-07_0915_x", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parts = splitFolderName(QString::fromUtf8(c.name));
        ASSERT_EQ(parts.has_value(), c.listed);
        if (parts) {
            EXPECT_EQ(parts->label, QString::fromUtf8(c.label));
        }
    }
}

TEST(SnapshotNaming, WritesAndReadsTimesWhateverTheUsersLocale)
{
    const QLocale saved;
    // Arabic digits and a locale of another default calendar must not reach the names.
    QLocale::setDefault(QLocale(QLocale::Persian, QLocale::Iran));
    const QDateTime when(QDate(2025, 3, 7), QTime(9, 15, 2), QTimeZone::utc());
    const QString text = timeText(when);
    const auto parsed = parseTimeText(QStringLiteral("2025-03-07_091502"));
    QLocale::setDefault(saved);
    EXPECT_EQ(text, QStringLiteral("2025-03-07_091502"));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->toUTC(), when);
}

TEST(SnapshotNaming, FormatsSizes)
{
    const struct {
        qint64 bytes;
        const char* text;
    } cases[] = {{0, "0 KB"},
                 {1'000'000, "977 KB"},
                 {1'048'575, "1024 KB"},
                 {1'048'576, "1.0 MB"},
                 {3'145'728, "3.0 MB"},
                 {5'000'000'000, "4768.4 MB"},
                 // Exact halves go to the even neighbour, as C's printf rounds them.
                 {512, "0 KB"},
                 {1'536, "2 KB"},
                 {2'560, "2 KB"},
                 {1'310'720, "1.2 MB"},
                 {1'835'008, "1.8 MB"},
                 {3'407'872, "3.2 MB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(formattedSize(c.bytes), QString::fromUtf8(c.text));
    }
}

TEST_F(SnapshotCoreTest, ListsSnapshotFoldersNewestFirstWithSizes)
{
    const QString root = dataDir() + QStringLiteral("/Snaps");
    EXPECT_TRUE(listSnapshots(root).empty());
    writeFile(root + QStringLiteral("/2025-01-01_000000_zeta/a"), QByteArray(1000, 'a'));
    writeFile(root + QStringLiteral("/2025-01-01_000000_zeta/sub/b"), QByteArray(24, 'b'));
    writeFile(root + QStringLiteral("/2025-01-01_000000_zeta/.hidden"), QByteArray(500, 'h'));
    writeFile(root + QStringLiteral("/2025-01-01_000000_zeta/.cache/c"), QByteArray(500, 'c'));
    makeDir(root + QStringLiteral("/2025-06-01_120000"));
    makeDir(root + QStringLiteral("/2024-12-31_235959_alpha"));
    makeDir(root + QStringLiteral("/notes"));
    makeDir(root + QStringLiteral("/2025-13-45_999999_x"));
    makeDir(root + QStringLiteral("/.2026-01-01_000000_hidden"));
    writeFile(root + QStringLiteral("/2026-01-01_000000_file"), "not a folder");

    const auto list = listSnapshots(root);
    ASSERT_EQ(list.size(), 3U);
    EXPECT_EQ(list[0].id, QStringLiteral("2025-06-01_120000"));
    EXPECT_EQ(list[0].label, QStringLiteral("Snapshot"));
    EXPECT_EQ(list[1].id, QStringLiteral("2025-01-01_000000_zeta"));
    EXPECT_EQ(list[1].label, QStringLiteral("zeta"));
    EXPECT_EQ(list[1].sizeBytes, 1024);
    EXPECT_EQ(list[1].path(), root + QStringLiteral("/2025-01-01_000000_zeta"));
    EXPECT_EQ(list[1].date, QDateTime(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(list[2].id, QStringLiteral("2024-12-31_235959_alpha"));
}

TEST_F(SnapshotCoreTest, CopiesNeverOverwriteAndRenamesNeverReplace)
{
    SnapshotFiles fm;
    const QString a = home() + QStringLiteral("/a");
    writeFile(a + QStringLiteral("/x"), "one");
    writeFile(home() + QStringLiteral("/b/x"), "two");
    makeDir(home() + QStringLiteral("/empty"));
    ::symlink("x", QFile::encodeName(a + QStringLiteral("/link")).constData());

    EXPECT_FALSE(fm.copyItem(a, home() + QStringLiteral("/b")).isEmpty());
    EXPECT_EQ(readFile(home() + QStringLiteral("/b/x")), "two");
    EXPECT_FALSE(fm.moveItem(a, home() + QStringLiteral("/empty")).isEmpty()); // a plain rename would replace it
    EXPECT_TRUE(QFileInfo(a + QStringLiteral("/x")).isFile());

    ASSERT_EQ(fm.copyItem(a, home() + QStringLiteral("/c")), QString());
    EXPECT_EQ(tree(home() + QStringLiteral("/c")), (QStringList{"link=one", "x=one"}));
    EXPECT_TRUE(QFileInfo(home() + QStringLiteral("/c/link")).isSymLink());

    ASSERT_EQ(::mkfifo(QFile::encodeName(home() + QStringLiteral("/fifo")).constData(), 0600), 0);
    EXPECT_FALSE(fm.copyItem(home() + QStringLiteral("/fifo"), home() + QStringLiteral("/fifo2")).isEmpty());
    EXPECT_FALSE(SnapshotFiles::exists(home() + QStringLiteral("/fifo2")));
}

TEST_F(SnapshotCoreTest, AFolderCopyFailingHalfWayLeavesNothing)
{
    SnapshotFiles fm;
    writeFile(home() + QStringLiteral("/a/1-small"), QByteArray(100, 's'));
    writeFile(home() + QStringLiteral("/a/2-big"), QByteArray(10'000, 'b'));
    QString reason;
    {
        FileSizeLimit limit(1000);
        reason = fm.copyItem(home() + QStringLiteral("/a"), home() + QStringLiteral("/copy"));
    }
    EXPECT_TRUE(reason.contains(QStringLiteral("2-big"))) << reason.toStdString();
    EXPECT_FALSE(SnapshotFiles::exists(home() + QStringLiteral("/copy")));
}

} // namespace
