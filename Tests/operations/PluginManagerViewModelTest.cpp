#include "Platform/DefaultsStore.h"
#include "Platform/linux/DBusNotificationCenter.h"
#include "Support/Eventually.h"
#include "Support/FileSizeLimit.h"
#include "Support/NotificationListener.h"
#include "Support/ScanAndWait.h"
#include "Support/SessionBus.h"
#include "Support/Unprivileged.h"
#include "operations/OperationsFixture.h"

#include <QDBusConnection>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <sqlite3.h>

namespace {

// The view model's state: reloads, paging, filters, counts, selection, bulk pane,
// profile preview. Rows live only in the catalogue; nothing is moved here.
class PluginManagerViewModelTest : public OperationsTest {
protected:
    static QList<AudioPlugin> numbered(int count, PluginFormat format = PluginFormat::vst3, bool enabled = true)
    {
        QList<AudioPlugin> rows;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("Plugin %1").arg(i, 3, 10, QLatin1Char('0'));
            const QString path = QStringLiteral("/nowhere/") + name + QStringLiteral(".vst3");
            rows.append(record(name, format, path, path, enabled));
        }
        return rows;
    }
    static QSet<QUuid> idsOf(const QList<AudioPlugin>& plugins)
    {
        QSet<QUuid> ids;
        for (const AudioPlugin& p : plugins)
            ids.insert(p.id);
        return ids;
    }
    static QStringList namesOf(const QList<AudioPlugin>& plugins)
    {
        QStringList names;
        for (const AudioPlugin& p : plugins)
            names.append(p.name);
        return names;
    }
};

TEST_F(PluginManagerViewModelTest, PagesOfOneHundred)
{
    seed(numbered(250));
    PluginManagerViewModel& model = vm();
    EXPECT_EQ(model.displayedPlugins().size(), 100);
    EXPECT_EQ(model.totalPluginCount(), 250);
    EXPECT_TRUE(model.canLoadMore());

    QSignalSpy appended(&model, &PluginManagerViewModel::displayedPluginsAppended);
    model.loadMoreIfNeeded();
    EXPECT_EQ(model.displayedPlugins().size(), 200);
    model.loadMoreIfNeeded();
    EXPECT_EQ(model.displayedPlugins().size(), 250);
    EXPECT_FALSE(model.canLoadMore());
    model.loadMoreIfNeeded();
    EXPECT_EQ(model.displayedPlugins().size(), 250);
    ASSERT_EQ(appended.count(), 2);
    EXPECT_EQ(appended.at(0).at(0).toInt(), 100);
    EXPECT_EQ(appended.at(1).at(0).toInt(), 200);
    EXPECT_EQ(model.displayedPlugins().last().name, QStringLiteral("Plugin 249"));

    model.refreshFromDatabase();
    EXPECT_EQ(model.displayedPlugins().size(), 100);
    model.loadAllPages();
    EXPECT_EQ(model.displayedPlugins().size(), 250);
    EXPECT_FALSE(model.canLoadMore());
    EXPECT_EQ(idsOf(model.displayedPlugins()).size(), 250);
}

TEST_F(PluginManagerViewModelTest, SortComparatorsMapToColumns)
{
    using K = PluginSortKey;
    struct Row {
        QList<PluginSortComparator> order;
        QString column;
        bool ascending;
    };
    const Row rows[] = {
        {{}, "name", true},
        {{{K::versionValue, false}}, "version", false},
        {{{K::statusValue, true}, {K::name, false}}, "isEnabled", true},
        {{{K::formatRawValue, true}}, "format", true},
        {{{K::manufacturer, false}}, "manufacturer", false},
        {{{K::lastUsedValue, true}}, "lastUsed", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.column.toStdString());
        EXPECT_EQ(PluginManagerViewModel::sqlSortFromComparators(row.order), std::make_pair(row.column, row.ascending));
    }
}

TEST_F(PluginManagerViewModelTest, EverySearchChangeReloadsFiftyMillisecondsLater)
{
    seed(numbered(5));
    PluginManagerViewModel& model = vm();
    QSignalSpy reloads(&model, &PluginManagerViewModel::displayedPluginsChanged);
    for (const char* text : {"P", "Pl", "Plu", "Plug", "Plug"})
        model.setSearchText(QString::fromLatin1(text));
    EXPECT_EQ(reloads.count(), 0);
    QTest::qWait(200);
    EXPECT_EQ(reloads.count(), 5);
    model.setSearchText(QStringLiteral("Plugin 003"));
    QTest::qWait(120);
    EXPECT_EQ(namesOf(model.displayedPlugins()), QStringList{QStringLiteral("Plugin 003")});
}

TEST_F(PluginManagerViewModelTest, FiltersShapeTheQueryAndCounts)
{
    QList<AudioPlugin> rows = numbered(4);
    rows[1].format = PluginFormat::au;
    rows[2].manufacturer = QStringLiteral("Other");
    rows[3].isEnabled = false;
    seed(rows);
    PluginManagerViewModel& model = vm();
    EXPECT_EQ(model.dbEnabledCount(), 3);
    EXPECT_EQ(model.dbDisabledCount(), 1);
    EXPECT_EQ(model.dbTotalCount(), model.dbEnabledCount() + model.dbDisabledCount());

    model.setSelectedFormats({PluginFormat::au});
    EXPECT_EQ(namesOf(model.displayedPlugins()), QStringList{rows[1].name});
    EXPECT_EQ(model.totalPluginCount(), 1);
    model.setSelectedFormats({});
    model.setSelectedManufacturers({QStringLiteral("Other")});
    EXPECT_EQ(namesOf(model.displayedPlugins()), QStringList{rows[2].name});
    model.setSelectedManufacturers({});
    FavoritesList favourites;
    favourites.pluginKeys = {rows[0].key(), rows[3].key()};
    model.setActiveFavoritesList(favourites);
    EXPECT_EQ(namesOf(model.displayedPlugins()), (QStringList{rows[0].name, rows[3].name}));
    EXPECT_EQ(model.allFilteredPlugins().size(), 2);

    const auto counts = model.pluginCounts();
    EXPECT_EQ(counts.size(), 6);
    EXPECT_EQ(counts.value(PluginFormat::vst3), 3);
    EXPECT_EQ(counts.value(PluginFormat::au), 1);
    EXPECT_EQ(counts.value(PluginFormat::clap), 0);

    // Reset keeps the favourites list and the sort order.
    model.setSortOrder({{PluginSortKey::name, false}});
    model.resetView();
    EXPECT_TRUE(model.activeFavoritesList().has_value());
    EXPECT_EQ(model.sortOrder().first().forward, false);
    EXPECT_EQ(namesOf(model.displayedPlugins()), (QStringList{rows[3].name, rows[0].name}));
}

TEST_F(PluginManagerViewModelTest, RefreshAllStateDropsVanishedManufacturers)
{
    QList<AudioPlugin> rows = numbered(2);
    rows[1].manufacturer = QStringLiteral("Gone Soon");
    seed(rows);
    PluginManagerViewModel& model = vm();
    model.setSelectedManufacturers({QStringLiteral("Acme"), QStringLiteral("Gone Soon")});
    EXPECT_EQ(db().replaceAllPlugins({rows[0]}), QString());
    model.refreshAllState();
    EXPECT_EQ(model.selectedManufacturers(), QSet<QString>{QStringLiteral("Acme")});
    EXPECT_EQ(model.allManufacturers(), QStringList{QStringLiteral("Acme")});
    EXPECT_EQ(model.plugins().size(), 1);
}

TEST_F(PluginManagerViewModelTest, EveryReloadAnnouncesTheEnabledCount)
{
    QList<AudioPlugin> rows = numbered(3);
    rows[0].isEnabled = false;
    seed(rows);
    PluginManagerViewModel& model = vm();
    const QString suite = DefaultsStore::sharedSuite();
    const int writes = m_defaults->writeCount(suite, QStringLiteral("enabledPluginCount"));
    const qsizetype posts = m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification());
    model.refreshFromDatabase();
    model.refreshFromDatabase();
    EXPECT_EQ(m_defaults->writeCount(suite, QStringLiteral("enabledPluginCount")), writes + 2);
    EXPECT_EQ(m_notifications->count(QStringLiteral("com.yourcompany.Rackhand.pluginCountChanged")), posts + 2);
    EXPECT_EQ(m_defaults->value(suite, QStringLiteral("enabledPluginCount")).toInt(), 2);

    // An unwritable suite does not stop the announcement.
    m_defaults->setUnwritable(suite);
    model.refreshFromDatabase();
    EXPECT_EQ(m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification()), posts + 3);
}

TEST_F(PluginManagerViewModelTest, CountAnnouncementIsHeardOnTheSessionBus)
{
    RACKHAND_REQUIRE_SESSION_BUS();
    QDBusConnection bus = QDBusConnection::sessionBus();
    NotificationListener listener;
    ASSERT_TRUE(bus.connect(QString(), QStringLiteral("/com/yourcompany/Rackhand"),
                            QStringLiteral("com.yourcompany.Rackhand.Notifications"), QStringLiteral("Notification"),
                            &listener, SIGNAL(notification(QString, QVariantMap))));
    QSignalSpy spy(&listener, &NotificationListener::notification);

    PlatformServices s = services(m_recorder);
    s.notificationCenter = std::make_shared<DBusNotificationCenter>();
    PluginManagerViewModel model(db(), activityLog(), progressState(), s); // the constructor reloads once
    model.refreshFromDatabase();
    while (spy.count() < 2 && spy.wait(3000)) {}
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("com.yourcompany.Rackhand.pluginCountChanged"));
    EXPECT_TRUE(spy.at(1).at(1).toMap().isEmpty());
}

TEST_F(PluginManagerViewModelTest, ScanDetectsNewPluginsAfterTheFirstScan)
{
    makeBundle(sys("/Library/Audio/Plug-Ins/VST3/Alpha.vst3"));
    PluginManagerViewModel& model = vm();
    ASSERT_TRUE(scanAndWait(model));
    EXPECT_TRUE(printedLines().contains(
        QStringLiteral("⚠️ Scan debug: existingKeys.isEmpty, skipping new plugin detection")));
    EXPECT_TRUE(printedLines().contains(QStringLiteral("🔍 Scan debug: existingKeys.count = 0")));
    EXPECT_TRUE(printedLines().contains(QStringLiteral("🔍 Scan debug: plugins.count = 1")));
    EXPECT_TRUE(model.newlyDetectedPlugins().isEmpty());
    EXPECT_FALSE(model.isLoading());

    makeBundle(sys("/Library/Audio/Plug-Ins/Components/Beta.component"));
    clearPrintedLines();
    ASSERT_TRUE(scanAndWait(model));
    ASSERT_EQ(model.newlyDetectedPlugins().size(), 1);
    EXPECT_EQ(model.newlyDetectedPlugins().first().name, QStringLiteral("Beta"));
    EXPECT_TRUE(printedLines().contains(QStringLiteral("🆕 New plugin detected: Beta (Audio Units)")));
    EXPECT_TRUE(printedLines().contains(QStringLiteral("🔍 Scan debug: newlyDetectedPlugins.count = 1")));
    EXPECT_EQ(model.dbTotalCount(), 2);

    ASSERT_TRUE(scanAndWait(model));
    EXPECT_TRUE(model.newlyDetectedPlugins().isEmpty());
}

TEST_F(PluginManagerViewModelTest, TheSelectionFollowsItsPluginsThroughARescan)
{
    const QString echoVst3 = sys("/Library/Audio/Plug-Ins/VST3/Echo.vst3");
    const QString echoAu = sys("/Library/Audio/Plug-Ins/Components/Echo.component");
    const QString gone = sys("/Library/Audio/Plug-Ins/VST3/Gone.vst3");
    for (const QString& path : {echoVst3, echoAu, gone, sys("/Library/Audio/Plug-Ins/VST3/Other.vst3")})
        makeBundle(path);
    PluginManagerViewModel& model = vm();
    ASSERT_TRUE(scanAndWait(model));
    const auto idAt = [&model](const QString& path) {
        for (const AudioPlugin& plugin : model.plugins()) {
            if (plugin.currentPath == path)
                return plugin.id;
        }
        return QUuid();
    };
    model.syncSelectionDelta({idAt(echoVst3), idAt(echoAu), idAt(gone)}, {});
    model.setSelectedPlugins(model.persistedSelections());
    model.toggleBulkVariant(idAt(echoVst3)); // switched off: the bulk action takes the AU only
    ASSERT_EQ(model.consolidatedBulkPlugins().size(), 2);

    // Another writer rewrote the catalogue with new ids (a rescan itself keeps them); the
    // bundle at "Gone" is no longer there.
    ASSERT_TRUE(QDir(gone).removeRecursively());
    const QSet<QUuid> before = model.persistedSelections();
    QList<AudioPlugin> renumbered = model.plugins();
    for (AudioPlugin& plugin : renumbered)
        plugin.id = QUuid::createUuid();
    ASSERT_EQ(db().replaceAllPlugins(renumbered), QString());
    ASSERT_TRUE(scanAndWait(model));
    const QSet<QUuid> echoIds{idAt(echoVst3), idAt(echoAu)};
    EXPECT_FALSE(echoIds.intersects(before));
    EXPECT_EQ(model.persistedSelections(), echoIds);
    EXPECT_EQ(model.totalSelectedCount(), 2);
    EXPECT_EQ(model.selectedPlugins(), echoIds);
    ASSERT_EQ(model.consolidatedBulkPlugins().size(), 1);
    EXPECT_EQ(model.consolidatedBulkPlugins().first().name, QStringLiteral("Echo"));
    EXPECT_EQ(model.bulkActiveVariants(), QSet<QUuid>{idAt(echoAu)});
    const QList<AudioPlugin> acting = model.bulkActionPlugins();
    ASSERT_EQ(acting.size(), 1);
    EXPECT_EQ(acting.first().currentPath, echoAu);
    EXPECT_EQ(model.cachedPluginKeysTransfer().keys.size(), 2);

    // When every selected plug-in has gone, nothing is left selected.
    ASSERT_TRUE(QDir(echoVst3).removeRecursively());
    ASSERT_TRUE(QDir(echoAu).removeRecursively());
    ASSERT_TRUE(scanAndWait(model));
    EXPECT_TRUE(model.persistedSelections().isEmpty());
    EXPECT_TRUE(model.selectedPlugins().isEmpty());
    EXPECT_TRUE(model.consolidatedBulkPlugins().isEmpty());
    EXPECT_TRUE(model.bulkActiveVariants().isEmpty());
    EXPECT_TRUE(model.cachedPluginKeysTransfer().keys.isEmpty());
}

// A rescan keeps the rows and ids of the bundles it finds again: what the table and the
// bulk pane hold of them stays valid, and only a new bundle gets a new id.
TEST_F(PluginManagerViewModelTest, ARescanKeepsTheIdsOfBundlesFoundAgain)
{
    makeBundle(sys("/Library/Audio/Plug-Ins/VST3/Alpha.vst3"));
    makeBundle(sys("/Library/Audio/Plug-Ins/Components/Gamma.component"));
    PluginManagerViewModel& model = vm();
    ASSERT_TRUE(scanAndWait(model));
    const QSet<QUuid> before = idsOf(model.plugins());
    ASSERT_EQ(before.size(), 2);
    const QUuid alpha = model.plugins().first().id;
    model.setSelectedPlugins({alpha});
    model.syncSelectionDelta({alpha}, {});

    makeBundle(sys("/Library/Audio/Plug-Ins/VST3/Beta.vst3"));
    ASSERT_TRUE(scanAndWait(model));
    EXPECT_TRUE(idsOf(model.plugins()).contains(before));
    EXPECT_EQ(idsOf(model.plugins()).size(), 3);
    EXPECT_EQ(idsOf(model.displayedPlugins()), idsOf(model.plugins()));
    EXPECT_EQ(model.selectedPlugins(), QSet<QUuid>{alpha});
    EXPECT_EQ(namesOf(model.allSelectedPluginObjects()), QStringList{QStringLiteral("Alpha")});
}

// Into an empty catalogue the write takes about as long as the scan: the first page shows as
// soon as the scan has its records, and it is the very page the written catalogue then gives.
TEST_F(PluginManagerViewModelTest, AFirstScanShowsItsFirstPageBeforeItsWriteHasEnded)
{
    // Upper and lower case interleaved (NOCASE order is not code-point order), names shared by
    // two formats (ties follow the records).
    QList<AudioPlugin> found;
    for (int i = 0; i < 2 * PluginManagerViewModel::pageSize + 20; ++i) {
        const QString name = QStringLiteral("%1lug %2").arg(i % 2 ? u'p' : u'P').arg((i * 37) % 97, 3, 10, QChar(u'0'));
        const PluginFormat format = i % 3 ? PluginFormat::vst3 : PluginFormat::au;
        const QString path = QStringLiteral("/nowhere/%1/%2").arg(i).arg(name);
        found.append(record(name, format, path, path, i % 4 != 0));
    }
    PluginManagerViewModel& model = vm();
    model.setScanWork([found] { return found; });
    // Another connection holds the write lock: the scan's write waits for it (within its busy timeout).
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(db().path()).constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    bool finished = false;
    model.scanForPlugins([&finished] { finished = true; });
    RACKHAND_ASSERT_EVENTUALLY(!model.displayedPlugins().isEmpty(), 3000);
    EXPECT_TRUE(model.isLoading());
    EXPECT_FALSE(finished);
    const QList<AudioPlugin> preview = model.displayedPlugins();
    EXPECT_EQ(preview.size(), PluginManagerViewModel::pageSize);
    EXPECT_EQ(model.totalPluginCount(), found.size());
    EXPECT_EQ(model.dbEnabledCount(),
              std::count_if(found.cbegin(), found.cend(), [](const AudioPlugin& p) { return p.isEnabled; }));
    EXPECT_EQ(db().totalCount({}, {}, {}, {}), 0); // nothing written yet

    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    RACKHAND_ASSERT_EVENTUALLY(finished, 10000);
    EXPECT_EQ(db().totalCount({}, {}, {}, {}), found.size());
    QStringList shown, written;
    for (const AudioPlugin& plugin : preview)
        shown << uuidString(plugin.id) + plugin.name;
    for (const AudioPlugin& plugin : model.displayedPlugins())
        written << uuidString(plugin.id) + plugin.name;
    EXPECT_EQ(shown, written);

    // A later scan finds rows already there: nothing is shown ahead of its write.
    QSignalSpy pages(&model, &PluginManagerViewModel::displayedPluginsChanged);
    ASSERT_TRUE(scanAndWait(model));
    EXPECT_EQ(pages.count(), 1);
}

TEST_F(PluginManagerViewModelTest, CatalogueThatCannotBeSavedIsSaidAndTheTableShowsTheScan)
{
    RUN_UNPRIVILEGED(); // as root a read-only file would still be written
    std::unique_ptr<FileSizeLimit> full;
    const auto readOnly = [](const QString& path) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    };
    // SQLite gives the log files it creates the catalogue's mode: they are made writable too.
    const auto writable = [](const QString& path) {
        for (const QString& file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    };
    const auto none = [](const QString&) {};
    // Each case on a file of its own: SQLite hands a later connection to the same file a
    // descriptor an earlier one left open, whatever the file's mode is by then.
    const struct {
        const char* name;
        std::function<void(const QString&)> beforeOpen;
        std::function<void(const QString&)> beforeScan;
        std::function<void(const QString&)> mend;
        const char* reason;
    } cases[] = {
        {"data folder full", none, [&](const QString&) { full = std::make_unique<FileSizeLimit>(0); },
         [&](const QString&) { full.reset(); }, "disk I/O error"},
        {"read-only catalogue", readOnly, none, writable, "attempt to write a readonly database"},
    };
    makeBundle(sys("/Library/Audio/Plug-Ins/VST3/Alpha.vst3"));
    makeBundle(sys("/Library/Audio/Plug-Ins/Components/Beta.component"));
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dataDir() + QStringLiteral("/plugins-%1.db").arg(++n);
        const auto rowsInFile = [&path] { return PluginDatabase(path).queryPlugins({}).size(); };
        EXPECT_EQ(PluginDatabase(path).replaceAllPlugins(
                      {record(QStringLiteral("Gone"), PluginFormat::vst3, QStringLiteral("/gone.vst3"),
                              QStringLiteral("/gone.vst3"), true)}),
                  QString());
        c.beforeOpen(path);
        PluginDatabase database(path);
        PluginManagerViewModel model(database, activityLog(), progressState(), services(m_recorder));
        ASSERT_EQ(model.displayedPlugins().size(), 1);
        c.beforeScan(path);
        ASSERT_TRUE(scanAndWait(model));
        c.mend(path);
        ASSERT_TRUE(model.error());
        EXPECT_EQ(model.error()->kind, PluginError::Kind::databaseError);
        EXPECT_EQ(model.error()->detail,
                  QStringLiteral("The plug-in list could not be saved: ") + QString::fromUtf8(c.reason));
        // The window shows what the scan found, not the rows the file still holds.
        EXPECT_EQ(namesOf(model.plugins()), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
        EXPECT_EQ(namesOf(model.displayedPlugins()), namesOf(model.plugins()));
        EXPECT_EQ(model.dbTotalCount(), 2);
        EXPECT_EQ(namesOf(PluginDatabase(path).queryPlugins({})), QStringList{QStringLiteral("Gone")});

        // Once the file takes writes again, the next scan saves there and reads from there.
        ASSERT_TRUE(scanAndWait(model));
        EXPECT_FALSE(model.error());
        EXPECT_FALSE(database.isInMemory());
        EXPECT_EQ(model.displayedPlugins().size(), 2);
        EXPECT_EQ(rowsInFile(), 2);
    }
}

TEST_F(PluginManagerViewModelTest, DamageTheOpeningMissedIsSetAsideByTheScan)
{
    makeBundle(sys("/Library/Audio/Plug-Ins/VST3/Alpha.vst3"));
    const struct {
        const char* name;
        qint64 offset;
        bool afterOpening; // the scan's own connection is the first to read it
        const char* reason;
    } cases[] = {
        // Header and table list intact, rows damaged: opening the file does not notice.
        {"rows damaged", 8 * 8192, false, "database disk image is malformed"},
        {"damaged while the window has it open", 0, true, "file is not a database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dataDir() + QStringLiteral("/damaged-%1.db").arg(c.offset);
        EXPECT_EQ(PluginDatabase(path).replaceAllPlugins(numbered(2000)), QString());
        const auto damage = [&] {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_GT(file.size(), 40 * 8192);
            file.seek(c.offset);
            file.write(QByteArray(24 * 8192, '\x5a'));
        };
        if (!c.afterOpening)
            damage();
        PluginDatabase database(path);
        ASSERT_TRUE(database.isOpen());
        EXPECT_TRUE(database.takeSetAsideNotice().isEmpty());
        PluginManagerViewModel model(database, activityLog(), progressState(), services(m_recorder));
        if (c.afterOpening)
            damage();
        ASSERT_TRUE(scanAndWait(model));
        ASSERT_TRUE(model.error());
        EXPECT_TRUE(model.error()->detail.startsWith(
            QStringLiteral("The plug-in list could not be read (") + QString::fromUtf8(c.reason) +
            QStringLiteral("). It was kept as ") + path + QStringLiteral(".unreadable-")))
            << model.error()->detail.toStdString();
        EXPECT_EQ(namesOf(model.displayedPlugins()), QStringList{QStringLiteral("Alpha")});
        EXPECT_FALSE(database.isInMemory());
        EXPECT_EQ(namesOf(PluginDatabase(path).queryPlugins({})), QStringList{QStringLiteral("Alpha")});
        EXPECT_EQ(QDir(dataDir())
                      .entryList({QFileInfo(path).fileName() + QStringLiteral(".unreadable-*")}, QDir::Files)
                      .size(),
                  1);
    }
}

TEST_F(PluginManagerViewModelTest, StatusSortStepsTheProfileSortModeOnlyDuringAPreview)
{
    seed(numbered(2));
    PluginManagerViewModel& model = vm();
    model.setSortOrder({{PluginSortKey::statusValue, true}});
    EXPECT_EQ(model.profileSortMode(), 2);
    model.setActiveProfile(PluginProfile{});
    QList<int> modes;
    for (int i = 0; i < 3; ++i) {
        model.setSortOrder({{PluginSortKey::statusValue, i % 2 == 0}});
        modes.append(model.profileSortMode());
    }
    EXPECT_EQ(modes, (QList<int>{0, 1, 2}));
}

TEST_F(PluginManagerViewModelTest, SelectionSurvivesPagingAndFilters)
{
    QList<AudioPlugin> rows = numbered(3);
    seed(rows);
    PluginManagerViewModel& model = vm();
    model.setSelectedPlugins({rows[0].id});
    model.syncSelectionDelta({rows[0].id}, {});
    model.setSelectedFormats({PluginFormat::au}); // hides every row
    EXPECT_TRUE(model.selectedPlugins().isEmpty());
    EXPECT_EQ(model.persistedSelections(), QSet<QUuid>{rows[0].id});
    EXPECT_EQ(model.consolidatedBulkPlugins().size(), 1);
    model.setSelectedFormats({});
    EXPECT_EQ(model.selectedPlugins(), QSet<QUuid>{rows[0].id});

    // Deselecting in the table keeps it in the bulk pane; the row control removes it.
    model.syncSelectionDelta({}, {rows[0].id});
    EXPECT_EQ(namesOf(model.bulkActionPlugins()), QStringList{rows[0].name});
    model.deselectPluginsByName(rows[0].name);
    EXPECT_TRUE(model.persistedSelections().isEmpty());
    EXPECT_TRUE(model.bulkActionPlugins().isEmpty());

    model.syncSelectionDelta({rows[1].id}, {});
    EXPECT_EQ(model.cachedPluginKeysTransfer().keys, QStringList{rows[1].key()});
    model.clearSelection();
    EXPECT_TRUE(model.cachedPluginKeysTransfer().keys.isEmpty());
    EXPECT_TRUE(model.consolidatedBulkPlugins().isEmpty());
    EXPECT_EQ(model.totalSelectedCount(), 0);
}

TEST_F(PluginManagerViewModelTest, BulkPaneGroupsByNameWithFormatVariants)
{
    AudioPlugin au = record(QStringLiteral("Echo"), PluginFormat::au, "/a", "/a", true);
    AudioPlugin vst3 = record(QStringLiteral("Echo"), PluginFormat::vst3, "/b", "/b", false);
    AudioPlugin v1 = record(QStringLiteral("Comp"), PluginFormat::vst3, "/c", "/c", true);
    AudioPlugin v2 = record(QStringLiteral("comp"), PluginFormat::vst3, "/d", "/d", true);
    AudioPlugin v3 = record(QStringLiteral("Delay"), PluginFormat::vst3, "/e", "/e", true);
    seed({vst3, au, v1, v2, v3});
    PluginManagerViewModel& model = vm();
    model.syncSelectionDelta({au.id, vst3.id}, {});
    ASSERT_EQ(model.consolidatedBulkPlugins().size(), 1);
    const ConsolidatedPlugin& echo = model.consolidatedBulkPlugins().first();
    ASSERT_EQ(echo.variants.size(), 2);
    EXPECT_EQ(echo.variants[0].format, PluginFormat::au);
    EXPECT_EQ(echo.variants[1].format, PluginFormat::vst3);
    EXPECT_EQ(model.selectedFormatsInBulk(), (QList<PluginFormat>{PluginFormat::au, PluginFormat::vst3}));

    // A variant switched off comes back on with the next selection change.
    model.toggleBulkVariant(au.id);
    EXPECT_EQ(namesOf(model.bulkActionPlugins()), QStringList{QStringLiteral("Echo")});
    EXPECT_EQ(model.bulkActionPlugins().first().id, vst3.id);
    model.syncSelectionDelta({v1.id, v2.id, v3.id}, {});
    EXPECT_TRUE(model.bulkActiveVariants().contains(au.id));
    // Names differing only in case are separate groups.
    EXPECT_EQ(model.consolidatedBulkPlugins().size(), 4);

    // Two of three VST3 variants of the other rows active: partial; tapping fills, tapping again empties.
    model.toggleBulkVariant(v1.id);
    model.toggleBulkVariant(vst3.id);
    EXPECT_TRUE(model.isFormatPartiallyActive(PluginFormat::vst3));
    EXPECT_FALSE(model.isFormatFullyActive(PluginFormat::vst3));
    model.toggleBulkFormat(PluginFormat::vst3);
    EXPECT_TRUE(model.isFormatFullyActive(PluginFormat::vst3));
    model.toggleBulkFormat(PluginFormat::vst3);
    EXPECT_FALSE(model.isFormatFullyActive(PluginFormat::vst3));
    EXPECT_FALSE(model.isFormatPartiallyActive(PluginFormat::vst3));
    EXPECT_FALSE(model.isFormatFullyActive(PluginFormat::clap));
    EXPECT_EQ(namesOf(model.bulkActionPlugins()), QStringList{QStringLiteral("Echo")});
}

TEST_F(PluginManagerViewModelTest, BulkOrderIsCaseInsensitiveAndStable)
{
    QList<AudioPlugin> rows;
    for (const char* name : {"beta", "Alpha", "gamma", "alpha", "Beta", "ALPHA"})
        rows.append(record(QString::fromLatin1(name), PluginFormat::vst3, "/p", "/p", true));
    seed(rows);
    PluginManagerViewModel& model = vm();
    model.syncSelectionDelta(idsOf(rows), {});

    // Names that compare equal ignoring case keep the order in which the catalogue returned them.
    QList<AudioPlugin> expected = db().getPluginsByIds(idsOf(rows));
    std::stable_sort(expected.begin(), expected.end(),
                     [](const AudioPlugin& a, const AudioPlugin& b) { return a.name.toLower() < b.name.toLower(); });
    EXPECT_EQ(namesOf(model.bulkActionPlugins()), namesOf(expected));
    QStringList groups;
    for (const QString& name : namesOf(expected)) {
        if (!groups.contains(name))
            groups.append(name);
    }
    QStringList shown;
    for (const ConsolidatedPlugin& row : model.consolidatedBulkPlugins())
        shown.append(row.name);
    EXPECT_EQ(shown, groups);
    EXPECT_EQ(shown.size(), 6); // names differing only in case stay apart
    EXPECT_EQ(shown.last(), QStringLiteral("gamma"));
}

TEST_F(PluginManagerViewModelTest, VariantsOrderByBadgeLabel)
{
    AudioPlugin v15 = record(QStringLiteral("CLA-76"), PluginFormat::wavesBundle, "/w15", "/w15", true);
    v15.version = QStringLiteral("V15");
    AudioPlugin v14 = record(QStringLiteral("CLA-76"), PluginFormat::wavesBundle, "/w14", "/w14", true);
    v14.version = QStringLiteral("V14");
    const AudioPlugin au = record(QStringLiteral("CLA-76"), PluginFormat::au, "/au", "/au", true);
    const AudioPlugin aax = record(QStringLiteral("CLA-76"), PluginFormat::aax, "/aax", "/aax", true);
    seed({v15, v14, au, aax});
    PluginManagerViewModel& model = vm();
    model.syncSelectionDelta({v15.id, v14.id, au.id, aax.id}, {});
    ASSERT_EQ(model.consolidatedBulkPlugins().size(), 1);
    QStringList badges;
    for (const auto& variant : model.consolidatedBulkPlugins().first().variants)
        badges.append(variant.badgeLabel());
    EXPECT_EQ(badges, (QStringList{"AAX", "Audio Units", "V14", "V15"}));
    EXPECT_EQ(model.selectedFormatsInBulk(),
              (QList<PluginFormat>{PluginFormat::aax, PluginFormat::au, PluginFormat::wavesBundle}));
}

TEST_F(PluginManagerViewModelTest, ResetAndRefreshRunTheirStepsInOrder)
{
    QList<AudioPlugin> rows = numbered(3);
    seed(rows);
    PluginManagerViewModel& model = vm();
    model.syncSelectionDelta({rows[0].id}, {});
    model.setSelectedFormats({PluginFormat::vst3});
    model.setActiveProfile(PluginProfile{});

    QStringList steps;
    auto watch = [&](auto signal, const char* name) {
        QObject::connect(&model, signal, &model, [&steps, name] { steps.append(QString::fromLatin1(name)); });
    };
    using VM = PluginManagerViewModel;
    watch(&VM::activeProfileChanged, "profile");
    watch(&VM::persistedSelectionsChanged, "persisted");
    watch(&VM::selectedPluginsChanged, "selected");
    watch(&VM::bulkActiveVariantsChanged, "variants");
    watch(&VM::consolidatedBulkPluginsChanged, "bulk");
    watch(&VM::selectedFormatsChanged, "formats");
    watch(&VM::selectedManufacturersChanged, "manufacturers");
    watch(&VM::searchTextChanged, "search");
    watch(&VM::manufacturerSearchTextChanged, "manufacturerSearch");
    watch(&VM::showAllPluginsChanged, "showAll");
    watch(&VM::resetViewTriggerChanged, "trigger");
    watch(&VM::displayedPluginsChanged, "reload");
    watch(&VM::pluginsChanged, "plugins");
    watch(&VM::allManufacturersChanged, "allManufacturers");
    watch(&VM::cachedProfileChangesChanged, "changes");

    model.resetView();
    EXPECT_EQ(steps, (QStringList{"profile", "persisted", "selected", "variants", "bulk", "formats", "reload",
                                  "manufacturers", "reload", "search", "manufacturerSearch", "showAll", "trigger"}));
    steps.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return steps.contains(QStringLiteral("reload")); }, 1000));
    EXPECT_EQ(steps, QStringList{"reload"}); // the search text's own delayed reload

    steps.clear();
    model.refreshAllState();
    EXPECT_EQ(steps, (QStringList{"plugins", "allManufacturers", "reload", "changes"}));
}

TEST_F(PluginManagerViewModelTest, InvertAndWavesRemoval)
{
    AudioPlugin a = record(QStringLiteral("A"), PluginFormat::vst3, "/a", "/a", true);
    AudioPlugin b = record(QStringLiteral("B"), PluginFormat::au, "/b", "/b", true);
    AudioPlugin shell = record(QStringLiteral("WaVeShElL1-VST3 14"), PluginFormat::vst3, "/w", "/w", true);
    AudioPlugin waves = record(QStringLiteral("CLA-76"), PluginFormat::wavesBundle, "/x", "/x", true);
    seed({a, b, shell, waves});
    PluginManagerViewModel& model = vm();
    model.invertSelection();
    EXPECT_TRUE(model.persistedSelections().isEmpty());
    model.setSelectedFormats({PluginFormat::vst3});
    model.invertSelection();
    EXPECT_EQ(model.persistedSelections(), (QSet<QUuid>{b.id, waves.id}));
    model.setSelectedFormats({});

    model.syncSelectionDelta({shell.id, a.id}, {});
    model.removeWavesPluginsFromSelection();
    EXPECT_EQ(model.persistedSelections(), (QSet<QUuid>{a.id, b.id, waves.id}));
    EXPECT_TRUE(model.selectionContainsWavesBundleToDisable());
    model.deselectPluginsByName(QStringLiteral("CLA-76"));
    EXPECT_FALSE(model.selectionContainsWavesBundleToDisable());
}

TEST_F(PluginManagerViewModelTest, ProfilePreviewFilters)
{
    AudioPlugin a = record(QStringLiteral("A"), PluginFormat::vst3, "/a", "/a", false);
    AudioPlugin b = record(QStringLiteral("B"), PluginFormat::vst3, "/b", "/b", true);
    AudioPlugin c = record(QStringLiteral("C"), PluginFormat::vst3, "/c", "/c", false);
    seed({a, b, c});
    PluginManagerViewModel& model = vm();
    PluginProfile profile;
    profile.enabledPlugins = {a.key()};
    model.setActiveProfile(profile);
    model.refreshProfileChanges();
    EXPECT_EQ(namesOf(model.filteredPlugins()), (QStringList{"A", "B"}));
    model.setProfileViewFilter(QStringLiteral("enabled"));
    EXPECT_TRUE(model.filteredPlugins().isEmpty());
    model.setProfileViewFilter(QStringLiteral("disabled"));
    EXPECT_EQ(namesOf(model.filteredPlugins()), QStringList{"C"});
    model.setProfileViewFilter(QStringLiteral("other"));
    EXPECT_EQ(model.filteredPlugins().size(), 3);
    model.setActiveProfile(std::nullopt);
    EXPECT_EQ(model.filteredPlugins().size(), 3);
}

} // namespace
