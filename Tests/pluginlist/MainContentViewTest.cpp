#include "pluginlist/MainContentView.h"

#include "catalogue/ProfileManager.h"
#include "pluginlist/BulkActionsView.h"
#include "pluginlist/BulkListModel.h"
#include "pluginlist/BulkPaneHandle.h"
#include "pluginlist/BulkPluginRow.h"
#include "pluginlist/ExportSheet.h"
#include "pluginlist/MainContentFixture.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/PluginTableModel.h"
#include "pluginlist/SearchBar.h"
#include "widgets/BusySpinner.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>

namespace {

// The fixed texts a widget tree shows: labels, button titles and field placeholders.
QStringList shownTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts.append(label->text());
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>())
        texts.append(button->text());
    for (const QLineEdit* field : root->findChildren<QLineEdit*>())
        texts.append(field->placeholderText());
    return texts;
}

} // namespace

TEST_F(MainContentViewTest, HeaderControlsAndTheirEnabling)
{
    EXPECT_FALSE(content().exportButton()->isEnabled()); // nothing scanned yet
    EXPECT_TRUE(content().scanButton()->isEnabled());
    EXPECT_TRUE(content().resetButton()->isEnabled());
    for (QWidget* control :
         {static_cast<QWidget*>(content().resetButton()), static_cast<QWidget*>(content().scanButton()),
          static_cast<QWidget*>(content().exportButton())})
        EXPECT_FALSE(control->accessibleName().isEmpty());

    const QList<AudioPlugin> plugins{plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))};
    seed(plugins);
    EXPECT_TRUE(content().exportButton()->isEnabled());

    // While an operation runs, Scan cannot start another; Reset stays available.
    bool scanDuringRun = true;
    bool resetDuringRun = false;
    m_runner->setOnRun([&](const QString&) {
        scanDuringRun = content().scanButton()->isEnabled();
        resetDuringRun = content().resetButton()->isEnabled();
    });
    vm().togglePlugin(plugins.first());
    EXPECT_FALSE(scanDuringRun);
    EXPECT_TRUE(resetDuringRun);
    EXPECT_TRUE(content().scanButton()->isEnabled());
}

TEST_F(MainContentViewTest, SearchBarEditsTheViewModelText)
{
    seed(numbered(30));
    vm().setShowAllPlugins(true);
    SearchBar* bar = content().searchBar();
    EXPECT_FALSE(bar->clearButton()->isVisibleTo(bar));
    QTest::keyClicks(bar->field(), QStringLiteral("0012"));
    EXPECT_EQ(vm().searchText(), QStringLiteral("0012"));
    EXPECT_TRUE(bar->clearButton()->isVisibleTo(bar));
    settle(80); // the view model reloads 50 ms after each keystroke
    EXPECT_EQ(content().listView()->model()->rowCount(), 1);
    QTest::mouseClick(bar->clearButton(), Qt::LeftButton);
    EXPECT_EQ(vm().searchText(), QString());
    EXPECT_FALSE(bar->clearButton()->isVisibleTo(bar));
    settle(80);
    EXPECT_EQ(content().listView()->model()->rowCount(), 30);
    // Only spaces still count as text.
    QTest::keyClicks(bar->field(), QStringLiteral("  "));
    EXPECT_EQ(vm().searchText(), QStringLiteral("  "));
    EXPECT_TRUE(bar->clearButton()->isVisibleTo(bar));
}

TEST_F(MainContentViewTest, ContentAreaRulesAndReset)
{
    const QList<AudioPlugin> plugins = numbered(3);
    seed(plugins);
    EXPECT_EQ(content().contentMode(), MainContentView::ContentMode::placeholder);
    vm().setShowAllPlugins(true);
    EXPECT_EQ(content().contentMode(), MainContentView::ContentMode::table);
    EXPECT_FALSE(content().bulkActionsView()->isVisibleTo(&content()));
    vm().syncSelectionDelta({plugins.first().id}, {});
    EXPECT_EQ(content().contentMode(), MainContentView::ContentMode::tableWithBulkPanel);
    EXPECT_TRUE(content().dragHandle()->isVisibleTo(&content()));

    // A preview hides the bulk panel; closing it with plug-ins collected brings it back.
    vm().setActiveProfile(profileEnabling({plugins.at(1)}));
    EXPECT_TRUE(content().previewBanner()->isVisibleTo(&content()));
    EXPECT_EQ(content().previewTitle()->text(), QStringLiteral("Previewing profile: \"Mixing\""));
    EXPECT_EQ(content().contentMode(), MainContentView::ContentMode::table);
    QTest::mouseClick(content().closePreviewButton(), Qt::LeftButton);
    EXPECT_FALSE(vm().activeProfile().has_value());
    EXPECT_FALSE(vm().showAllPlugins());
    EXPECT_EQ(content().contentMode(), MainContentView::ContentMode::tableWithBulkPanel);

    // Reset: one reset per click, then the root view's callback.
    vm().setActiveProfile(profileEnabling({}));
    QTest::keyClicks(content().searchBar()->field(), QStringLiteral("Plug"));
    ASSERT_TRUE(content().searchBar()->clearButton()->isVisibleTo(&content()));
    QSignalSpy triggers(&vm(), &PluginManagerViewModel::resetViewTriggerChanged);
    QSignalSpy tapped(&content(), &MainContentView::resetTapped);
    const bool before = vm().resetViewTrigger();
    QTest::mouseClick(content().resetButton(), Qt::LeftButton);
    EXPECT_EQ(vm().resetViewTrigger(), !before);
    EXPECT_EQ(triggers.count(), 1);
    EXPECT_EQ(tapped.count(), 1);
    EXPECT_FALSE(content().previewBanner()->isVisibleTo(&content()));
    EXPECT_EQ(content().contentMode(), MainContentView::ContentMode::placeholder);
    // The reset empties the search field without any action of the bar.
    EXPECT_TRUE(content().searchBar()->field()->text().isEmpty());
    EXPECT_FALSE(content().searchBar()->clearButton()->isVisibleTo(&content()));
}

TEST_F(MainContentViewTest, PreviewChipsAndStatusTexts)
{
    AudioPlugin keep = plugin(QStringLiteral("A Keep"));                              // enabled, listed
    AudioPlugin drop = plugin(QStringLiteral("B Drop"));                              // enabled, absent
    AudioPlugin wake = plugin(QStringLiteral("C Wake"), PluginFormat::vst3, false);   // disabled, listed
    AudioPlugin sleep = plugin(QStringLiteral("D Sleep"), PluginFormat::vst3, false); // disabled, absent
    AudioPlugin renamed = plugin(QStringLiteral("E Renamed"));
    seed({keep, drop, wake, sleep, renamed});
    PluginProfile profile = profileEnabling({keep, wake});
    profile.enabledPlugins.insert(QStringLiteral("E Old Name|VST3"));
    vm().setShowAllPlugins(true);
    vm().setActiveProfile(profile);
    QAbstractButton* all = content().filterChip(QStringLiteral("all"));
    ASSERT_NE(all, nullptr);
    QTest::mouseClick(all, Qt::LeftButton);
    EXPECT_EQ(vm().profileViewFilter(), QStringLiteral("all"));
    EXPECT_TRUE(all->isChecked());
    EXPECT_FALSE(content().filterChip(QStringLiteral("changes"))->isChecked());

    PluginTableModel* model = content().listView()->model();
    ASSERT_TRUE(model->isPreviewMode());
    ASSERT_EQ(model->rowCount(), 5);
    QStringList statuses;
    for (int row = 0; row < 5; ++row)
        statuses.append(model->index(row, PluginTableModel::statusColumn).data().toString());
    EXPECT_EQ(statuses, (QStringList{"Enabled", "Will Disable", "Will Enable", "Disabled", "Will Disable"}));
    EXPECT_EQ(model->columnCount(), 4);

    // The preview refuses selection.
    vm().setSelectedPlugins({keep.id});
    EXPECT_TRUE(vm().selectedPlugins().isEmpty());

    const struct {
        const char* key;
        int rows;
    } filters[] = {{"changes", 3}, {"enabled", 1}, {"disabled", 1}};
    for (const auto& f : filters) {
        SCOPED_TRACE(f.key);
        QTest::mouseClick(content().filterChip(QString::fromLatin1(f.key)), Qt::LeftButton);
        EXPECT_EQ(model->rowCount(), f.rows);
        EXPECT_EQ(content().listView()->countLabel()->text(), QStringLiteral("Showing %1 of 5 plugins").arg(f.rows));
    }
}

TEST_F(MainContentViewTest, DragHandleFollowsThePointerWithinItsLimits)
{
    const QList<AudioPlugin> plugins = numbered(2);
    seed(plugins);
    vm().syncSelectionDelta({plugins.first().id}, {});
    BulkPaneHandle* handle = content().dragHandle();
    ASSERT_TRUE(handle->isVisible());
    EXPECT_EQ(content().bulkPaneHeight(), 200);
    const QPoint start = handle->rect().center();
    auto move = [handle](QPoint to) {
        QMouseEvent event(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &event);
    };
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    move(start + QPoint(0, -5)); // shorter than 10: nothing
    EXPECT_EQ(content().bulkPaneHeight(), 200);
    move(start + QPoint(0, -30));
    EXPECT_EQ(content().bulkPaneHeight(), 230);
    move(start + QPoint(0, -60)); // measured from the drag's start, not added up
    EXPECT_EQ(content().bulkPaneHeight(), 260);
    move(start + QPoint(0, -900));
    EXPECT_EQ(content().bulkPaneHeight(), 500);
    move(start + QPoint(0, 900));
    EXPECT_EQ(content().bulkPaneHeight(), 80);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(0, 900));
    EXPECT_EQ(content().bulkActionsView()->paneHeight(), 80);
}

TEST_F(MainContentViewTest, BulkHeaderStaysPutWhenNoticesComeAndGo)
{
    // The panel sits at the window's bottom: a notice that made it taller would push
    // Clear All and the action buttons up under the pointer.
    const AudioPlugin plain = plugin(QStringLiteral("Comp"));
    const AudioPlugin bundle = plugin(QStringLiteral("CLA-2A"), PluginFormat::wavesBundle);
    const AudioPlugin shell = plugin(QStringLiteral("WaveShell1-VST3 14.0"));
    seed({plain, bundle, shell});
    vm().syncSelectionDelta({plain.id}, {});
    settle();
    BulkActionsView* bulk = content().bulkActionsView();
    ASSERT_TRUE(bulk->isVisible());
    auto top = [this](const QWidget* widget) { return widget->mapTo(&content(), QPoint(0, 0)).y(); };
    const int clearAll = top(bulk->clearAllButton());
    const int enable = top(bulk->enableButton());
    const int panelTop = top(bulk);
    const int listHeight = bulk->list()->height();

    const struct {
        const char* label;
        std::function<void()> step;
        bool wavesNotice;
        bool shellWarning;
    } steps[] = {
        {"Waves notice", [&] { vm().syncSelectionDelta({bundle.id}, {}); }, true, false},
        {"and the WaveShell warning", [&] { vm().syncSelectionDelta({shell.id}, {}); }, true, true},
        {"warning gone", [&] { vm().deselectPluginsByName(shell.name); }, true, false},
        {"notice gone", [&] { vm().toggleBulkVariant(bundle.id); }, false, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        s.step();
        settle();
        ASSERT_EQ(bulk->wavesNotice()->isVisible(), s.wavesNotice);
        ASSERT_EQ(bulk->waveShellWarning()->isVisible(), s.shellWarning);
        EXPECT_EQ(top(bulk), panelTop);
        EXPECT_EQ(top(bulk->clearAllButton()), clearAll);
        EXPECT_EQ(top(bulk->enableButton()), enable);
        // Only the list gives way, and gets its room back.
        const int notices = (s.wavesNotice ? bulk->wavesNotice()->height() : 0) +
                            (s.shellWarning ? bulk->waveShellWarning()->height() : 0);
        EXPECT_EQ(bulk->list()->height(), listHeight - notices);
        if (s.wavesNotice) {
            EXPECT_GT(top(bulk->wavesNotice()), enable); // between the buttons and the list
            EXPECT_LT(top(bulk->wavesNotice()), top(bulk->list()));
        }
    }
}

TEST_F(MainContentViewTest, ExportSheetChoicesAndCalls)
{
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("Zed")), plugin(QStringLiteral("Alpha"))};
    seed(plugins);
    vm().setSearchText(QStringLiteral("Zed")); // filters never narrow the export
    settle(80);

    QTest::mouseClick(content().exportButton(), Qt::LeftButton);
    ExportSheet* sheet = content().exportSheet();
    ASSERT_NE(sheet, nullptr);
    const QStringList texts = shownTexts(sheet);
    for (const char* text : {"Export Plugins", "Format", "PDF", "CSV", "Sort by", "Name", "Manufacturer", "Format",
                             "Status", "Version", "Last Used(Est.)", "Cancel"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(texts.contains(QString::fromLatin1(text)));
    }
    EXPECT_EQ(sheet->width(), 380);
    EXPECT_EQ(sheet->exportButton()->text(), QStringLiteral("Export as PDF"));
    EXPECT_EQ(sheet->note()->text(), QStringLiteral("The selected sort column will appear first in the PDF."));
    EXPECT_TRUE(sheet->sortButton(ExportSortOption::name)->isChecked());
    QTest::mouseClick(sheet->formatButton(ExportFormat::csv), Qt::LeftButton);
    EXPECT_EQ(sheet->exportButton()->text(), QStringLiteral("Export as CSV"));
    EXPECT_EQ(sheet->note()->text(), QStringLiteral("Columns will be ordered with the selected sort column first."));
    sheet->sortButton(ExportSortOption::manufacturer)->click();
    QTest::keyClick(sheet, Qt::Key_Escape); // cancel keeps the choices
    settle();
    EXPECT_EQ(content().exportSheet(), nullptr);
    EXPECT_TRUE(m_prompter->fileTitles.isEmpty());

    QTest::mouseClick(content().exportButton(), Qt::LeftButton);
    sheet = content().exportSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->format(), ExportFormat::csv);
    EXPECT_TRUE(sheet->sortButton(ExportSortOption::manufacturer)->isChecked());
    const QString target = home() + QStringLiteral("/export.csv");
    m_prompter->nextFiles.append(target);
    QTest::keyClick(sheet, Qt::Key_Return);
    settle();
    EXPECT_EQ(content().exportSheet(), nullptr);
    ASSERT_EQ(m_prompter->fileTitles.size(), 1);
    EXPECT_EQ(m_prompter->fileTitles.first(), QStringLiteral("Export Plugins as CSV"));
    ASSERT_TRUE(QFile::exists(target));
    const QByteArray csv = readFile(target);
    EXPECT_TRUE(csv.contains("Alpha"));
    EXPECT_TRUE(csv.contains("Zed"));
    ASSERT_EQ(m_workspace->opened().size(), 1);
    EXPECT_EQ(m_workspace->opened().first().toLocalFile(), target);

    // PDF through the same road; a cancelled save panel writes and opens nothing.
    QTest::mouseClick(content().exportButton(), Qt::LeftButton);
    content().exportSheet()->formatButton(ExportFormat::pdf)->click();
    QTest::mouseClick(content().exportSheet()->exportButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(m_prompter->fileTitles.last(), QStringLiteral("Export Plugins as PDF"));
    EXPECT_EQ(m_workspace->opened().size(), 1);
}

TEST_F(MainContentViewTest, EveryFixedTextIsShownAsWritten)
{
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("WaveShell1-VST3 14.0")),
                                     plugin(QStringLiteral("CLA-2A"), PluginFormat::wavesBundle)};
    seed(plugins);
    vm().syncSelectionDelta({plugins.at(0).id, plugins.at(1).id}, {});
    const QStringList texts = shownTexts(&content());
    const char* const expected[] = {
        // header and search bar
        "Reset",
        "Scan",
        "Export",
        "Search plugins...",
        // preview banner
        "Close Preview",
        "Changes",
        "Enabled",
        "Disabled",
        "All",
        // placeholder
        "Select a category from the sidebar",
        "Choose \"All Plugins\" or a specific format to view plugins.",
        // footer
        "Load All",
        "Ctrl+Home Top · Ctrl+End Bottom",
        "Showing 2 of 2 plugins",
        // bulk panel
        "Bulk Actions",
        "·",
        "2 plugin(s)",
        "(2 unique)",
        "Clear All",
        "Enable Selected",
        "Disable Selected",
        "Delete Selected",
        "Formats:",
        "VST3",
        "Waves",
        "WaveShell plugins are containers for all Waves plugins. Disabling a WaveShell will disable ALL Waves "
        "plugins for that format.",
        "Remove Waves",
        "Disabling a Waves plugin moves its .bundle file, which disables it across <b>all formats</b> (AAX, AU, "
        "VST, VST3) and all installed versions simultaneously.",
    };
    for (const char* text : expected) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text)));
    }
    auto* notice = content().findChild<QLabel*>(QStringLiteral("wavesNoticeText"));
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->textFormat(), Qt::RichText); // "all formats" renders bold
    // Nothing in the header row carries a help text.
    for (QWidget* control :
         {static_cast<QWidget*>(content().resetButton()), static_cast<QWidget*>(content().scanButton()),
          static_cast<QWidget*>(content().exportButton())})
        EXPECT_TRUE(control->toolTip().isEmpty());
}

TEST_F(MainContentViewTest, BulkPanelFitsTheNarrowestDetailColumn)
{
    // A 900 px window with a 250 px sidebar leaves the detail column about 640 px: the
    // bulk panel (header, action buttons, five format chips, five badges a row) must not
    // ask for more, or the window grows by itself.
    constexpr int kColumnWidth = 640;
    const PluginFormat formats[] = {PluginFormat::vst3, PluginFormat::au, PluginFormat::vst2, PluginFormat::aax,
                                    PluginFormat::clap};
    QList<AudioPlugin> plugins;
    for (int i = 1; i <= 8; ++i) {
        for (PluginFormat format : formats)
            plugins.append(plugin(QStringLiteral("Vintage Channel Strip Collection %1").arg(i), format));
    }
    seed(plugins);
    QSet<QUuid> ids;
    for (const AudioPlugin& p : plugins)
        ids.insert(p.id);
    vm().syncSelectionDelta(ids, {});
    content().resize(kColumnWidth, 600);
    settle();
    BulkActionsView* bulk = content().bulkActionsView();
    ASSERT_TRUE(bulk->isVisible());
    ASSERT_EQ(bulk->listModel()->rowCount(), 8);
    for (PluginFormat format : formats)
        ASSERT_NE(bulk->formatChip(format), nullptr);

    EXPECT_LE(content().minimumSizeHint().width(), kColumnWidth);
    EXPECT_LE(content().minimumSize().width(), kColumnWidth);
    EXPECT_LE(bulk->minimumSizeHint().width(), kColumnWidth);
    EXPECT_EQ(content().width(), kColumnWidth);
    // Nothing of the panel reaches past the column's right edge.
    for (const QWidget* widget : bulk->findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        const int right = widget->mapTo(&content(), QPoint(widget->width(), 0)).x();
        EXPECT_LE(right, kColumnWidth) << widget->metaObject()->className() << " "
                                       << widget->objectName().toStdString();
    }
    // Badges of a row too narrow for them elide inside it and leave the name some room.
    const ConsolidatedPlugin* first = bulk->listModel()->entry(0);
    ASSERT_EQ(first->variants.size(), 5);
    const QRect narrowRow(0, 0, 260, 24);
    const QList<QRect> badges = BulkPluginRow::badgeRects(narrowRow, first->variants);
    EXPECT_GE(badges.first().left(), narrowRow.left() + 60);
    EXPECT_LE(badges.last().right(), narrowRow.right());
    // At the column's width they keep their whole labels.
    const QRect wideRow = bulk->list()->visualRect(bulk->listModel()->index(0));
    for (const QRect& badge : BulkPluginRow::badgeRects(wideRow, first->variants))
        EXPECT_GE(badge.left(), wideRow.left());
    // The action buttons stay whole.
    for (const QPushButton* button : {bulk->enableButton(), bulk->disableButton(), bulk->deleteButton()})
        EXPECT_GE(button->width(), button->minimumSizeHint().width()) << button->text().toStdString();
}

TEST_F(MainContentViewTest, PreviewStatusFollowsTheProfileRuleForSharedKeys)
{
    // Q-Bass in two Waves version folders shares one key: with one copy enabled the
    // profile's key is satisfied, so neither row will change (as Changes and Apply say).
    QList<AudioPlugin> plugins = numbered(150);
    AudioPlugin v14 = plugin(QStringLiteral("Q-Bass"), PluginFormat::wavesBundle, true, QStringLiteral("Waves"));
    AudioPlugin v15 = plugin(QStringLiteral("Q-Bass"), PluginFormat::wavesBundle, false, QStringLiteral("Waves"));
    v14.originalPath = v14.currentPath = sys(QStringLiteral("/Applications/Waves/Plug-Ins V14/Q-Bass.bundle"));
    v15.originalPath = sys(QStringLiteral("/Applications/Waves/Plug-Ins V15/Q-Bass.bundle"));
    v15.currentPath = sys(QStringLiteral("/Applications/Waves/Plug-Ins V15/Disabled/Q-Bass.bundle"));
    plugins << v14 << v15;
    seed(plugins);
    const PluginProfile profile = profileEnabling(plugins);
    ASSERT_TRUE(ProfileManager::computeChanges(profile, vm().plugins()).toEnable.isEmpty());
    vm().setShowAllPlugins(true);
    vm().setActiveProfile(profile);
    PluginListView* list = content().listView();
    PluginTableModel* model = list->model();

    // "Changes" is the whole change list (none here): no paging controls.
    QTest::mouseClick(content().filterChip(QStringLiteral("changes")), Qt::LeftButton);
    settle();
    ASSERT_TRUE(vm().canLoadMore());
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_TRUE(list->footer()->isVisibleTo(list));
    EXPECT_EQ(list->countLabel()->text(),
              QStringLiteral("Showing %1 of 152 plugins").arg(vm().filteredPlugins().size()));
    EXPECT_FALSE(list->loadAllButton()->isVisibleTo(list));
    EXPECT_FALSE(list->pagingIndicator()->isVisibleTo(list));

    // "All" is paged as before.
    QTest::mouseClick(content().filterChip(QStringLiteral("all")), Qt::LeftButton);
    settle();
    EXPECT_EQ(list->countLabel()->text(), QStringLiteral("Showing 100 of 152 plugins"));
    EXPECT_TRUE(list->loadAllButton()->isVisibleTo(list));
    QTest::mouseClick(list->loadAllButton(), Qt::LeftButton);
    settle();
    const struct {
        const AudioPlugin* plugin;
        const char* status;
    } expected[] = {{&v14, "Enabled"}, {&v15, "Disabled"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.plugin->currentPath.toStdString());
        const int row = model->rowOf(e.plugin->id);
        ASSERT_GE(row, 0);
        EXPECT_EQ(model->index(row, PluginTableModel::statusColumn).data().toString(), QString::fromLatin1(e.status));
        EXPECT_FALSE(model->index(row, 0).data(PluginTableModel::willChangeRole).toBool());
    }
    // A key no copy satisfies still asks to enable.
    QSet<QString> none;
    EXPECT_EQ(PluginTableModel::previewStatus(profile, v15, none), PluginTableModel::PreviewStatus::willEnable);
}

TEST_F(MainContentViewTest, HeaderKeepsItsHeightWhileTyping)
{
    seed(numbered(3));
    vm().setShowAllPlugins(true);
    content();
    settle();
    SearchBar* bar = content().searchBar();
    QWidget* header = bar->parentWidget();
    auto tableTop = [this] { return content().listView()->mapTo(&content(), QPoint(0, 0)).y(); };
    const int height = header->height();
    const int hint = header->sizeHint().height();
    const int top = tableTop();
    QTest::keyClicks(bar->field(), QStringLiteral("Plug"));
    settle(80);
    ASSERT_TRUE(bar->clearButton()->isVisible());
    EXPECT_EQ(header->height(), height);
    EXPECT_EQ(header->sizeHint().height(), hint);
    EXPECT_EQ(tableTop(), top);
    QTest::mouseClick(bar->clearButton(), Qt::LeftButton);
    settle(80);
    EXPECT_EQ(header->height(), height);
    EXPECT_EQ(tableTop(), top);
}

// Every way of activating a preview chip (mouse, Space, an assistive press or toggle) sets the
// filter, and exactly the chip of the filter is ticked.
TEST_F(MainContentViewTest, PreviewChipsAnswerEveryWayOfActivating)
{
    const AudioPlugin on = plugin(QStringLiteral("On"));
    const AudioPlugin off = plugin(QStringLiteral("Off"), PluginFormat::vst3, false);
    seed({on, off});
    vm().setShowAllPlugins(true);
    vm().setActiveProfile(profileEnabling({on}));
    const auto accessibly = [](QAbstractButton* chip, const QString& action) {
        QAccessible::queryAccessibleInterface(chip)->actionInterface()->doAction(action);
    };
    const struct {
        const char* way;
        const char* key;
        std::function<void(QAbstractButton*)> activate;
    } ways[] = {
        {"mouse", "enabled", [](QAbstractButton* chip) { QTest::mouseClick(chip, Qt::LeftButton); }},
        {"space", "disabled", [](QAbstractButton* chip) { QTest::keyClick(chip, Qt::Key_Space); }},
        {"toggle action", "all",
         [&](QAbstractButton* chip) { accessibly(chip, QAccessibleActionInterface::toggleAction()); }},
        {"press action", "changes",
         [&](QAbstractButton* chip) { accessibly(chip, QAccessibleActionInterface::pressAction()); }},
        {"toggle of the ticked chip", "changes",
         [&](QAbstractButton* chip) { accessibly(chip, QAccessibleActionInterface::toggleAction()); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        w.activate(content().filterChip(QString::fromLatin1(w.key)));
        QTest::qWait(300); // a press is an animated click
        EXPECT_EQ(vm().profileViewFilter(), QString::fromLatin1(w.key));
        for (const char* key : {"changes", "enabled", "disabled", "all"})
            EXPECT_EQ(content().filterChip(QString::fromLatin1(key))->isChecked(), qstrcmp(key, w.key) == 0) << key;
    }
}

// The badges of a collected row and the WaveShell warning's link work by keyboard and offer an
// assistive action, each the same as a click.
// The two formats are one choice of two: read as radio buttons, and the arrows pick between them.
TEST_F(MainContentViewTest, TheExportFormatsAreRadioButtons)
{
    seed({plugin(QStringLiteral("Alpha"))});
    content().openExportSheet();
    ExportSheet* sheet = content().exportSheet();
    ASSERT_NE(sheet, nullptr);
    for (ExportFormat format : {ExportFormat::pdf, ExportFormat::csv}) {
        QAccessibleInterface* choice = QAccessible::queryAccessibleInterface(sheet->formatButton(format));
        EXPECT_EQ(choice->role(), QAccessible::RadioButton);
        EXPECT_EQ(choice->state().checked, format == ExportFormat::pdf);
    }
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([sheet] { return QApplication::activeWindow() == sheet; }));
    sheet->formatButton(ExportFormat::pdf)->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(sheet->focusWidget(), sheet->formatButton(ExportFormat::pdf));
    QTest::keyClick(sheet->formatButton(ExportFormat::pdf), Qt::Key_Right);
    EXPECT_EQ(sheet->focusWidget(), sheet->formatButton(ExportFormat::csv));
    QTest::keyClick(sheet->formatButton(ExportFormat::csv), Qt::Key_Space);
    EXPECT_EQ(sheet->format(), ExportFormat::csv);
    EXPECT_FALSE(sheet->formatButton(ExportFormat::pdf)->isChecked());
    sheet->reject();
}

// Clear All takes the bulk panel away with the keyboard on it: the keyboard goes to the table.
TEST_F(MainContentViewTest, ClearAllLeavesTheKeyboardOnTheTable)
{
    const QList<AudioPlugin> plugins{plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))};
    seed(plugins);
    vm().setShowAllPlugins(true);
    vm().syncSelectionDelta({plugins.first().id}, {});
    settle();
    content().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&content()));
    QPushButton* clear = content().bulkActionsView()->clearAllButton();
    ASSERT_TRUE(clear->isVisible());
    clear->setFocus(Qt::TabFocusReason);
    QTest::keyClick(clear, Qt::Key_Space);
    settle();
    EXPECT_FALSE(content().bulkActionsView()->isVisible());
    EXPECT_TRUE(content().listView()->table()->hasFocus());
}

TEST_F(MainContentViewTest, BulkBadgesAndTheWaveShellLinkWithoutAMouse)
{
    const AudioPlugin vst3 = plugin(QStringLiteral("Comp"));
    const AudioPlugin au = plugin(QStringLiteral("Comp"), PluginFormat::au);
    const AudioPlugin shell = plugin(QStringLiteral("WaveShell1-VST3 14.0"));
    seed({vst3, au, shell});
    vm().syncSelectionDelta({vst3.id, au.id, shell.id}, {});
    settle();
    BulkActionsView* bulk = content().bulkActionsView();
    QListView* list = bulk->list();
    const int comp = bulk->listModel()->entry(0)->name == vst3.name ? 0 : 1;
    const ConsolidatedPlugin entry = *bulk->listModel()->entry(comp);
    ASSERT_EQ(entry.variants.size(), 2);
    const QUuid first = entry.variants.at(0).id;
    const QUuid second = entry.variants.at(1).id;
    ASSERT_TRUE(vm().bulkActiveVariants().contains(first));

    content().activateWindow();
    list->setFocus();
    list->setCurrentIndex(bulk->listModel()->index(comp));
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(vm().bulkActiveVariants().contains(first));
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(vm().bulkActiveVariants().contains(second));
    QTest::keyClick(list, Qt::Key_Left);
    QTest::keyClick(list, Qt::Key_Left);
    QTest::keyClick(list, Qt::Key_Space); // on the name: marks it
    EXPECT_TRUE(bulk->listModel()->isMarked(entry.name));

    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(list)->tableInterface()->cellAt(comp, 0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(QAccessible::Name), entry.name);
    ASSERT_EQ(row->childCount(), 2);
    QAccessibleInterface* badge = row->child(0);
    EXPECT_EQ(badge->role(), QAccessible::CheckBox);
    EXPECT_EQ(badge->text(QAccessible::Name), entry.variants.at(0).badgeLabel());
    EXPECT_FALSE(badge->state().checked);
    badge->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(vm().bulkActiveVariants().contains(first));
    EXPECT_TRUE(row->child(0)->state().checked);

    auto* removeWaves = bulk->findChild<QPushButton*>(QStringLiteral("removeWavesButton"));
    ASSERT_NE(removeWaves, nullptr);
    EXPECT_TRUE(removeWaves->focusPolicy() & Qt::TabFocus);
    QAccessible::queryAccessibleInterface(removeWaves)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(300);
    EXPECT_FALSE(vm().selectedPlugins().contains(shell.id));
    EXPECT_FALSE(bulk->waveShellWarning()->isVisible());
}

// A failed export says so in an alert with its reason; a written one asks nothing.
TEST_F(MainContentViewTest, AFailedExportShowsAnAlertWithTheReason)
{
    seed({plugin(QStringLiteral("Alpha"))});
    writeFile(home() + QStringLiteral("/a file"), "x");
    const struct {
        const char* name;
        QString target;
        bool fails;
    } cases[] = {
        {"a file where a folder should be", home() + QStringLiteral("/a file/export.csv"), true},
        {"a folder in the way", home(), true},
        {"written", home() + QStringLiteral("/export.csv"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompter->alerts.clear();
        QTest::mouseClick(content().exportButton(), Qt::LeftButton);
        ASSERT_NE(content().exportSheet(), nullptr);
        content().exportSheet()->formatButton(ExportFormat::csv)->click();
        m_prompter->nextFiles.append(c.target);
        QTest::mouseClick(content().exportSheet()->exportButton(), Qt::LeftButton);
        settle();
        if (!c.fails) {
            EXPECT_TRUE(m_prompter->alerts.isEmpty());
            continue;
        }
        ASSERT_EQ(m_prompter->alerts.size(), 1);
        EXPECT_EQ(m_prompter->alerts.first().title, QStringLiteral("Export Failed"));
        EXPECT_FALSE(m_prompter->alerts.first().message.isEmpty());
        ASSERT_EQ(m_prompter->alerts.first().buttons.size(), 1);
        EXPECT_EQ(m_prompter->alerts.first().buttons.first().text, QStringLiteral("OK"));
    }
    EXPECT_EQ(m_workspace->opened().size(), 1); // only the written file
}

namespace {

/// Holds a scan on its worker thread until the test opens it (always, at the latest
/// when the test ends, so a failed test does not leave the thread waiting).
class ScanGate {
public:
    ScanGate() : m_opened(m_promise.get_future().share()) {}
    ~ScanGate() { open(); }
    ScanGate(const ScanGate&) = delete;
    ScanGate& operator=(const ScanGate&) = delete;
    void open()
    {
        if (!m_isOpen.exchange(true))
            m_promise.set_value();
    }
    std::shared_future<void> opened() const { return m_opened; }

private:
    std::promise<void> m_promise;
    std::shared_future<void> m_opened;
    std::atomic_bool m_isOpen{false};
};

/// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

TEST_F(MainContentViewTest, WindowPaintsAndTakesInputWhileAScanRuns)
{
    seed(numbered(300));
    vm().setShowAllPlugins(true);
    ScanGate gate;
    std::atomic_bool started{false};
    const QList<AudioPlugin> found{record(QStringLiteral("Found"), PluginFormat::clap, true, QStringLiteral("Acme"))};
    vm().setScanWork([opened = gate.opened(), &started, found] {
        started = true;
        opened.wait_for(std::chrono::seconds(20)); // a scan on the GUI thread would hold it: fail, never hang
        return found;
    });
    QSignalSpy finished(&vm(), &PluginManagerViewModel::scanFinished);

    QTest::mouseClick(content().scanButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&started] { return started.load(); }, 5000));
    EXPECT_TRUE(vm().isLoading());
    EXPECT_FALSE(content().scanButton()->isEnabled());

    // The event loop is free: the table repaints, scrolls and the search field types.
    QTableView* table = content().listView()->table();
    PaintCounter paints(table->viewport());
    table->viewport()->update();
    EXPECT_TRUE(QTest::qWaitFor([&paints] { return paints.count > 0; }, 2000));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
    EXPECT_GT(table->verticalScrollBar()->value(), 0);
    QTest::keyClicks(content().searchBar()->field(), QStringLiteral("0012"));
    EXPECT_EQ(vm().searchText(), QStringLiteral("0012"));
    settle(80);
    EXPECT_EQ(table->model()->rowCount(), 1);

    // Asking again while it runs joins the running scan.
    bool secondCallerDone = false;
    vm().scanForPlugins([&secondCallerDone] { secondCallerDone = true; });
    EXPECT_TRUE(finished.isEmpty());

    gate.open();
    ASSERT_TRUE(finished.wait(5000));
    settle();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(secondCallerDone);
    EXPECT_FALSE(vm().isLoading());
    EXPECT_FALSE(vm().isOperationRunning());
    EXPECT_TRUE(content().scanButton()->isEnabled());
    EXPECT_EQ(db().totalCount({}, {}, {}, {}), 1);
}
