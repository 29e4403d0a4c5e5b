#include "catalogue/ActivityLogManager.h"

#include "Platform/testing/ManualClock.h"
#include "Support/SandboxTest.h"
#include "catalogue/PluginModels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

using Action = ActivityLogEntry::Action;

QList<std::pair<QString, QString>> pairs(int count, const QString& prefix)
{
    QList<std::pair<QString, QString>> list;
    for (int i = 0; i < count; ++i)
        list.append({prefix + QString::number(i), QStringLiteral("VST3")});
    return list;
}

QByteArray fileOfEntries(int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i) {
        ActivityLogEntry entry{QUuid::createUuid(), dateFromJsonSeconds(800000000 - i), QStringLiteral("Old %1").arg(i),
                               QStringLiteral("AAX"), Action::deleted};
        array.append(entry.toJson());
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace

class ActivityLogManagerTest : public SandboxTest {
protected:
    void TearDown() override
    {
        m_log.reset();
        SandboxTest::TearDown();
    }
    /// The store under test, made over the manual clock on first use.
    ActivityLogManager& store() { return m_log ? *m_log : fresh(); }
    /// A new store over the manual clock, loading the current D (a new start).
    ActivityLogManager& fresh()
    {
        m_log = std::make_unique<ActivityLogManager>(m_clock);
        return *m_log;
    }
    QString logFile() const { return dataDir() + QStringLiteral("/activity_log.json"); }
    /// The file as the store would load it now.
    QList<ActivityLogEntry> entriesOnDisk() const
    {
        QList<ActivityLogEntry> entries;
        for (const QJsonValue& value : QJsonDocument::fromJson(readFile(logFile())).array())
            entries.append(*ActivityLogEntry::fromJson(value.toObject()));
        return entries;
    }
    std::shared_ptr<ManualClock> m_clock = std::make_shared<ManualClock>(dateFromJsonSeconds(800000000));
    std::unique_ptr<ActivityLogManager> m_log;
};

TEST(ActivityLogEntryTest, CodingIsCompactAndStrict)
{
    const ActivityLogEntry entry{QUuid::fromString(QStringLiteral("{0F8FAD5B-D9CB-469F-A165-70867728950E}")),
                                 dateFromJsonSeconds(800000000.5), QStringLiteral("Tape \"Echo\""),
                                 QStringLiteral("VST3"), Action::disabled};
    const QByteArray json = QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact);
    EXPECT_EQ(json, QByteArray(R"({"action":"Disabled","format":"VST3","id":"0F8FAD5B-D9CB-469F-A165-70867728950E",)"
                               R"("pluginName":"Tape \"Echo\"","timestamp":800000000.5})"));
    const auto back = ActivityLogEntry::fromJson(entry.toJson());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, entry.id);
    EXPECT_EQ(back->timestamp, entry.timestamp);
    EXPECT_EQ(back->pluginName, entry.pluginName);
    EXPECT_EQ(back->action, Action::disabled);

    struct Row {
        const char* name;
        const char* member;
        QJsonValue value; // undefined removes the member
    };
    const Row rows[] = {
        {"no id", "id", QJsonValue::Undefined},
        {"id not a UUID", "id", QStringLiteral("x")},
        {"no timestamp", "timestamp", QJsonValue::Undefined},
        {"timestamp text", "timestamp", QStringLiteral("800000000")},
        {"no pluginName", "pluginName", QJsonValue::Undefined},
        {"no format", "format", QJsonValue::Undefined},
        {"format a number", "format", 3},
        {"no action", "action", QJsonValue::Undefined},
        {"unknown action", "action", QStringLiteral("Renamed")},
        {"action in lower case", "action", QStringLiteral("enabled")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QJsonObject object = entry.toJson();
        if (row.value.isUndefined())
            object.remove(QLatin1String(row.member));
        else
            object.insert(QLatin1String(row.member), row.value);
        EXPECT_FALSE(ActivityLogEntry::fromJson(object));
    }
}

TEST(ActivityLogEntryTest, TimeAgoEdges)
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    const std::pair<qint64, const char*> rows[] = {
        {0, "just now"},    {59, "just now"},    {60, "1m ago"},       {3599, "59m ago"},
        {3600, "1h ago"},   {86399, "23h ago"},  {86400, "yesterday"}, {172799, "yesterday"},
        {172800, "2d ago"}, {864000, "10d ago"}, {-1, "just now"},     {-100000, "just now"},
    };
    for (const auto& [age, text] : rows) {
        SCOPED_TRACE(age);
        const ActivityLogEntry entry{QUuid::createUuid(), now.addSecs(-age), {}, {}, Action::enabled};
        EXPECT_EQ(entry.timeAgo(now), QString::fromUtf8(text));
    }
    // 59.9 s is still under a minute.
    const ActivityLogEntry almost{QUuid::createUuid(), now.addMSecs(-59'900), {}, {}, Action::enabled};
    EXPECT_EQ(almost.timeAgo(now), QStringLiteral("just now"));
}

TEST_F(ActivityLogManagerTest, LogPutsNewestFirstAndSaves)
{
    ActivityLogManager& log = store();
    EXPECT_TRUE(log.entries().isEmpty());
    EXPECT_EQ(log.savePath(), logFile());

    EXPECT_EQ(log.log(QStringLiteral("A"), QStringLiteral("VST3"), Action::disabled), QString());
    m_clock->advance(5);
    EXPECT_EQ(log.log(QStringLiteral("B"), QStringLiteral("Audio Units"), Action::enabled), QString());
    ASSERT_EQ(log.entries().size(), 2);
    EXPECT_EQ(log.entries().at(0).pluginName, QStringLiteral("B"));
    EXPECT_EQ(log.entries().at(0).format, QStringLiteral("Audio Units"));
    EXPECT_EQ(log.entries().at(0).timestamp, m_clock->now());
    EXPECT_EQ(log.entries().at(1).pluginName, QStringLiteral("A"));
    EXPECT_NE(log.entries().at(0).timestamp, log.entries().at(1).timestamp);
    EXPECT_NE(log.entries().at(0).id, log.entries().at(1).id);

    const auto onDisk = entriesOnDisk();
    ASSERT_EQ(onDisk.size(), 2);
    EXPECT_EQ(onDisk.at(0).id, log.entries().at(0).id);
    EXPECT_EQ(onDisk.at(1).action, Action::disabled);

    // A fresh store reads the same list back.
    EXPECT_EQ(fresh().entries().size(), 2);
    EXPECT_EQ(store().entries().at(0).pluginName, QStringLiteral("B"));
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST_F(ActivityLogManagerTest, SharedIsTheInstalledLogElseOneMadeOnFirstUse)
{
    ActivityLogManager installed(m_clock);
    ActivityLogManager::setShared(&installed);
    EXPECT_EQ(&ActivityLogManager::shared(), &installed);
    ActivityLogManager::clearShared(&installed);
    ActivityLogManager& made = ActivityLogManager::shared();
    EXPECT_NE(&made, &installed);
    EXPECT_EQ(&ActivityLogManager::shared(), &made);
    ActivityLogManager::resetShared();
}

TEST_F(ActivityLogManagerTest, CapDropsOnlyBeyondTwoHundred)
{
    for (const int start : {199, 200}) {
        SCOPED_TRACE(start);
        writeFile(logFile(), fileOfEntries(start));
        ActivityLogManager& log = fresh();
        ASSERT_EQ(log.entries().size(), start);
        EXPECT_EQ(log.log(QStringLiteral("New"), QStringLiteral("VST"), Action::enabled), QString());
        EXPECT_EQ(log.entries().size(), 200);
        EXPECT_EQ(log.entries().first().pluginName, QStringLiteral("New"));
        // With 199 every old entry stays; with 200 the oldest one, "Old 199", goes.
        EXPECT_EQ(log.entries().last().pluginName, QStringLiteral("Old 198"));
        EXPECT_EQ(entriesOnDisk().size(), 200);
    }
}

TEST_F(ActivityLogManagerTest, BatchesShareOneTimestampAndComeFirstInOrder)
{
    ActivityLogManager& log = store();
    EXPECT_EQ(log.log(QStringLiteral("Older"), QStringLiteral("VST3"), Action::enabled), QString());
    m_clock->advance(10);
    EXPECT_EQ(log.logBatch(pairs(3, QStringLiteral("P")), Action::deleted), QString());
    ASSERT_EQ(log.entries().size(), 4);
    QStringList order;
    for (const ActivityLogEntry& e : log.entries())
        order << e.pluginName;
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("P0"), QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("Older")}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(log.entries().at(i).timestamp, m_clock->now());
        EXPECT_EQ(log.entries().at(i).action, Action::deleted);
    }
    EXPECT_NE(log.entries().at(3).timestamp, m_clock->now());

    // 250 at once: exactly the first 200 of the batch stay, none of the older entries.
    EXPECT_EQ(log.logBatch(pairs(250, QStringLiteral("Q")), Action::disabled), QString());
    ASSERT_EQ(log.entries().size(), 200);
    EXPECT_EQ(log.entries().first().pluginName, QStringLiteral("Q0"));
    EXPECT_EQ(log.entries().last().pluginName, QStringLiteral("Q199"));

    // An empty batch changes nothing but still saves.
    QFile::remove(logFile());
    EXPECT_EQ(log.logBatch({}, Action::enabled), QString());
    EXPECT_EQ(log.entries().size(), 200);
    EXPECT_EQ(entriesOnDisk().size(), 200);
}

TEST_F(ActivityLogManagerTest, LongFileLoadsWholeAndTrimsOnTheNextChange)
{
    writeFile(logFile(), fileOfEntries(300));
    ActivityLogManager& log = store();
    EXPECT_EQ(log.entries().size(), 300);
    EXPECT_EQ(log.logBatch(pairs(2, QStringLiteral("N")), Action::enabled), QString());
    EXPECT_EQ(log.entries().size(), 200);
    EXPECT_EQ(log.entries().at(2).pluginName, QStringLiteral("Old 0"));
    EXPECT_EQ(entriesOnDisk().size(), 200);
}

TEST_F(ActivityLogManagerTest, ClearLeavesAnEmptyArray)
{
    ActivityLogManager& log = store();
    EXPECT_EQ(log.log(QStringLiteral("A"), QStringLiteral("VST3"), Action::enabled), QString());
    EXPECT_EQ(log.clearLog(), QString());
    EXPECT_TRUE(log.entries().isEmpty());
    EXPECT_EQ(readFile(logFile()), QByteArray("[]"));
}

TEST_F(ActivityLogManagerTest, UnreadableLogIsKeptAsideBeforeTheFirstWrite)
{
    QByteArray unknownAction = fileOfEntries(3);
    unknownAction.replace("\"Deleted\"", "\"Renamed\"");
    const std::pair<const char*, QByteArray> rows[] = {
        {"unknown action", unknownAction},
        {"truncated", fileOfEntries(2).left(50)},
        {"wrong types", R"([{"id":1,"timestamp":"x","pluginName":[],"format":{},"action":true}])"},
        {"invalid UTF-8", "[\"\xc3\x28\"]"},
        {"deep nesting", QByteArray(3000, '[') + QByteArray(3000, ']')},
        {"not an array", "{}"},
        {"beyond its size cap", fileOfEntries(3) + QByteArray(ActivityLogManager::maxFileBytes, ' ')},
    };
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        QDir(dataDir()).removeRecursively();
        writeFile(logFile(), bytes);
        clearPrintedLines();
        ActivityLogManager& log = fresh();
        EXPECT_TRUE(log.entries().isEmpty());
        EXPECT_TRUE(printedLines().isEmpty());

        EXPECT_EQ(log.log(QStringLiteral("A"), QStringLiteral("VST3"), Action::enabled), QString());
        const QStringList kept = QDir(dataDir()).entryList({QStringLiteral("activity_log.json.unreadable-*")});
        ASSERT_EQ(kept.size(), 1);
        const QString keptPath = dataDir() + QLatin1Char('/') + kept.first();
        EXPECT_EQ(readFile(keptPath), bytes);
        EXPECT_EQ(printedLines(),
                  QStringList{QStringLiteral("⚠️ Could not read activity_log.json; kept it as ") + keptPath});
        EXPECT_EQ(entriesOnDisk().size(), 1);

        EXPECT_EQ(log.log(QStringLiteral("B"), QStringLiteral("VST3"), Action::enabled), QString());
        EXPECT_EQ(printedLines().size(), 1);
        EXPECT_EQ(entriesOnDisk().size(), 2);
    }
}

TEST_F(ActivityLogManagerTest, AnUnwritableDataFolderGivesDiagnosticsOnly)
{
    const QString blocker = home() + QStringLiteral("/blocker");
    writeFile(blocker, "x");
    qputenv("XDG_DATA_HOME", (blocker + QStringLiteral("/data")).toUtf8());
    ActivityLogManager& log = fresh();
    EXPECT_FALSE(log.log(QStringLiteral("A"), QStringLiteral("VST3"), Action::enabled).isEmpty());
    EXPECT_FALSE(log.clearLog().isEmpty());
    EXPECT_FALSE(log.logBatch(pairs(2, QStringLiteral("P")), Action::disabled).isEmpty());
    EXPECT_EQ(log.entries().size(), 2);
    ASSERT_EQ(printedLines().size(), 3);
    for (const QString& line : printedLines())
        EXPECT_TRUE(line.startsWith(QStringLiteral("❌ Could not save activity_log.json: "))) << line.toStdString();
}
