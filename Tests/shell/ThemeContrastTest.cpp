#include "pluginlist/BulkActionsView.h"
#include "pluginlist/BulkListModel.h"
#include "pluginlist/BulkPluginRow.h"
#include "pluginlist/MainContentView.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/PluginTableModel.h"
#include "shell/ShellFixture.h"
#include "sidebar/SidebarView.h"
#include "sidebar/StatisticsSection.h"
#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <functional>

namespace {

/// What a patch of the window shows: its most frequent colour is the ground, and the pixel
/// farthest from it in contrast is the ink (text or icon) drawn on it.
struct Patch {
    QColor ground;
    QColor ink;
    double ratio = 1.0;
};

Patch measure(const QImage& image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    }
    Patch patch;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            patch.ground = QColor::fromRgb(it.key());
        }
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double ratio = AppTheme::contrastRatio(QColor::fromRgb(it.key()), patch.ground);
        if (ratio > patch.ratio) {
            patch.ratio = ratio;
            patch.ink = QColor::fromRgb(it.key());
        }
    }
    return patch;
}

} // namespace

/// The real window, photographed; every checked text and icon is measured on the picture.
class ThemeContrastTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        seams = ContentViewSeams::defaults();
    }
    QString vst3(const QString& name) const { return sys("/Library/Audio/Plug-Ins/VST3/") + name + ".vst3"; }

    MainContentView* main() { return qobject_cast<MainContentView*>(view().mainContent()); }
    SidebarView* sidebar() { return qobject_cast<SidebarView*>(view().sidebar()); }

    /// The picture of `rect` of `widget` as the window shows it, less `inset` on each edge.
    QImage shot(const QWidget* widget, QRect rect = {}, int inset = 0)
    {
        if (rect.isNull())
            rect = widget->rect();
        rect = rect.adjusted(inset, inset, -inset, -inset);
        const QImage window = view().grab().toImage();
        const qreal scale = window.devicePixelRatio();
        const QRect inWindow(widget->mapTo(&view(), rect.topLeft()), rect.size());
        return window.copy(QRect((QPointF(inWindow.topLeft()) * scale).toPoint(), inWindow.size() * scale));
    }

    struct Check {
        std::string what;
        std::function<QImage()> picture;
        double minimum;
    };
    void expectReadable(const QList<Check>& checks)
    {
        for (const Check& check : checks) {
            SCOPED_TRACE(check.what);
            const QImage image = check.picture();
            ASSERT_FALSE(image.isNull());
            const Patch patch = measure(image);
            EXPECT_GE(patch.ratio, check.minimum)
                << patch.ink.name().toStdString() << " on " << patch.ground.name().toStdString();
        }
    }
};

TEST_F(ThemeContrastTest, EveryCheckedTextAndIconMeetsItsContrast)
{
    // More than a page, so "Load All" shows; two formats of one name, so a row has badges.
    for (int i = 0; i < 105; ++i)
        makeBundle(vst3(QStringLiteral("Plugin %1").arg(i, 3, 10, QLatin1Char('0'))));
    makeBundle(sys("/Library/Audio/Plug-Ins/Components/Plugin 000.component"));
    makeBundle(sys("/Library/Audio/Plug-Ins/Disabled/VST3/Sleeper.vst3"));
    ASSERT_TRUE(showAndWaitForStartup());
    view().resize(1400, 900);
    PluginManagerViewModel& vm = view().pluginManager();
    vm.setShowAllPlugins(true);
    QSet<QUuid> picked;
    for (const AudioPlugin& plugin : vm.displayedPlugins()) {
        if (plugin.name == QLatin1String("Plugin 000"))
            picked.insert(plugin.id);
    }
    vm.setSelectedPlugins(picked);
    vm.syncSelectionDelta(picked, {});
    QTest::qWait(100);

    BulkActionsView* bulk = main()->bulkActionsView();
    PluginListView* list = main()->listView();
    ASSERT_TRUE(bulk->isVisible());
    ASSERT_TRUE(list->loadAllButton()->isVisible());
    const auto labelled = [this](QWidget* root, const QString& text) -> QWidget* {
        for (QLabel* label : root->findChildren<QLabel*>()) {
            if (label->text() == text && label->isVisible())
                return label;
        }
        return nullptr;
    };
    QListView* bulkList = bulk->list();
    const QModelIndex firstEntry = bulk->listModel()->index(0);
    const QList<QRect> badges = BulkPluginRow::badgeRects(bulkList->visualRect(firstEntry).adjusted(0, 1, 0, -1),
                                                          bulk->listModel()->entry(0)->variants);
    ASSERT_FALSE(badges.isEmpty());
    // The table's first row is selected: its format icon sits on the selection.
    const int row = list->model()->rowOf(*picked.cbegin());
    ASSERT_GE(row, 0);
    const QRect formatCell = list->table()->visualRect(list->model()->index(row, PluginTableModel::formatColumn));
    const int iconSize = QFontMetrics(Typography::listCaption()).height() - 2;
    const QRect icon(formatCell.left() + 14, formatCell.center().y() - iconSize / 2, iconSize, iconSize);

    QList<Check> checks{
        {"Enable Selected", [&] { return shot(bulk->enableButton(), {}, 3); }, 4.5},
        {"Disable Selected", [&] { return shot(bulk->disableButton(), {}, 3); }, 4.5},
        {"Delete Selected", [&] { return shot(bulk->deleteButton(), {}, 3); }, 4.5},
        {"Load All", [&] { return shot(list->loadAllButton()); }, 4.5},
        {"Scan", [&] { return shot(main()->scanButton(), {}, 2); }, 4.5},
        {"Export", [&] { return shot(main()->exportButton(), {}, 2); }, 4.5},
        {"Reset", [&] { return shot(main()->resetButton(), {}, 2); }, 4.5},
        {"bulk badge", [&] { return shot(bulkList->viewport(), badges.first(), 1); }, 4.5},
        {"format icon in a selected row", [&] { return shot(list->table()->viewport(), icon); }, 3.0},
    };
    for (const char* caption : {"Total", "Enabled", "Disabled"}) {
        QWidget* label = labelled(sidebar()->statisticsSection(), QString::fromLatin1(caption));
        ASSERT_NE(label, nullptr) << caption;
        checks.append({std::string("Statistics ") + caption, [this, label] { return shot(label); }, 4.5});
    }
    expectReadable(checks);

    // The preview banner.
    PluginProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = QStringLiteral("Live");
    vm.setActiveProfile(profile);
    QTest::qWait(50);
    QList<Check> preview{{"Close Preview",
                          [&] { return shot(main()->findChild<QPushButton*>(QStringLiteral("closePreviewButton"))); },
                          4.5}};
    for (const char* key : {"changes", "enabled", "disabled", "all"})
        preview.append({std::string("chip ") + key,
                        [this, key] { return shot(main()->filterChip(QString::fromLatin1(key))); }, 4.5});
    expectReadable(preview);
}

TEST(AppThemeContrast, LegibleKeepsTheHueAndReachesTheRatio)
{
    const QColor window(239, 239, 239);
    const QColor dark(40, 40, 40);
    for (const QColor& hue : {AppTheme::statusEnabled(), AppTheme::statusDisabled(), AppTheme::accentBlue(),
                              AppTheme::brandPink(), AppTheme::systemOrange(), AppTheme::systemGreen()}) {
        SCOPED_TRACE(hue.name().toStdString());
        for (const QColor& ground : {window, dark, QColor(Qt::white)}) {
            const QColor shown = AppTheme::legible(hue, ground);
            EXPECT_GE(AppTheme::contrastRatio(shown, ground), 4.5);
            if (hue.hslSaturationF() > 0.1 && shown.lightnessF() > 0.05 && shown.lightnessF() < 0.95) {
                EXPECT_NEAR(shown.hslHueF(), hue.hslHueF(), 0.02);
            }
        }
    }
    EXPECT_NEAR(AppTheme::contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_EQ(AppTheme::legible(Qt::black, Qt::white), QColor(Qt::black)); // already readable: unchanged
}
