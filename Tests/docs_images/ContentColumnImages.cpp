#include "pluginlist/ExportSheet.h"
#include "pluginlist/MainContentFixture.h"
#include "pluginlist/PluginListView.h"

#include <QDir>
#include <QFileInfo>
#include <QTableView>

// Writes a picture of the column when RACKHAND_LIST_SCREENSHOT names a file.
TEST_F(MainContentViewTest, Screenshot)
{
    const QString path = qEnvironmentVariable("RACKHAND_LIST_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "set RACKHAND_LIST_SCREENSHOT to write the picture";
    const struct {
        const char* name;
        const char* vendor;
        PluginFormat format;
        bool enabled;
        const char* version;
        int daysAgo;
    } demo[] = {
        {"Pro-Q 3", "FabFilter", PluginFormat::vst3, true, "3.21", 0},
        {"Pro-Q 3", "FabFilter", PluginFormat::au, true, "3.21", 0},
        {"Pro-L 2", "FabFilter", PluginFormat::clap, true, "2.14", 2},
        {"Decapitator", "Soundtoys", PluginFormat::au, true, "5.4.2", 9},
        {"EchoBoy", "Soundtoys", PluginFormat::vst3, false, "5.4.2", 40},
        {"Serum", "Xfer Records", PluginFormat::vst2, true, "1.363", 1},
        {"Ozone 11", "iZotope", PluginFormat::aax, true, "11.0.1", -1},
        {"CLA-2A", "Waves", PluginFormat::wavesBundle, true, "14.0", 400},
        {"Diva", "u-he", PluginFormat::vst3, false, "1.4.7", 70},
        {"Kontakt 7", "Native Instruments", PluginFormat::au, true, "7.8.0", 3},
        {"ValhallaRoom", "Valhalla DSP", PluginFormat::clap, true, "2.0.0", 14},
        {"Tape Echo", "", PluginFormat::vst2, true, nullptr, -1},
    };
    QList<AudioPlugin> plugins;
    for (const auto& d : demo) {
        AudioPlugin p = plugin(QString::fromUtf8(d.name), d.format, d.enabled, QString::fromUtf8(d.vendor));
        p.version = d.version ? std::optional<QString>(QString::fromLatin1(d.version)) : std::nullopt;
        if (d.daysAgo >= 0)
            p.lastUsed = m_clock->now().addDays(-d.daysAgo);
        plugins.append(p);
    }
    seed(plugins);
    vm().setShowAllPlugins(true);
    content().resize(1000, 760);
    QTableView* table = content().listView()->table();
    table->selectRow(0);
    for (int row : {4, 7, 8}) // Kontakt 7 and both formats of Pro-Q 3
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    content().setBulkPaneHeight(110);
    QTest::qWait(1300); // let the rows' flash fade
    settle();
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(content().grab().save(path));

    // Companion pictures beside it: the export sheet, a profile preview and the placeholder.
    const QString stem = path.left(path.lastIndexOf(u'.'));
    content().openExportSheet();
    ASSERT_NE(content().exportSheet(), nullptr);
    content().exportSheet()->adjustSize();
    EXPECT_TRUE(content().exportSheet()->grab().save(stem + QStringLiteral("-export.png")));
    content().exportSheet()->reject();
    settle();
    PluginProfile profile = profileEnabling({plugins.at(0), plugins.at(3), plugins.at(4)});
    profile.name = QStringLiteral("Mixing Session");
    vm().setActiveProfile(profile);
    vm().setProfileViewFilter(QStringLiteral("all"));
    settle();
    EXPECT_TRUE(content().grab().save(stem + QStringLiteral("-preview.png")));
    vm().resetView();
    settle();
    EXPECT_TRUE(content().grab().save(stem + QStringLiteral("-placeholder.png")));
    seed(numbered(150));
    vm().setShowAllPlugins(true);
    settle();
    PluginListView* list = content().listView();
    EXPECT_TRUE(list->footer()->grab().scaled(list->footer()->size() * 2).save(stem + QStringLiteral("-footer.png")));
}
