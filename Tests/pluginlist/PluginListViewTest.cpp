#include "pluginlist/PluginListView.h"

#include "pluginlist/PluginCellDelegate.h"
#include "pluginlist/PluginListFixture.h"
#include "pluginlist/PluginTableModel.h"
#include "pluginlist/RowContextMenu.h"
#include "widgets/BusySpinner.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QUrlQuery>

#include <functional>

namespace {

QStringList actionTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return texts;
}

QAction* actionNamed(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class PluginListViewTest : public PluginListTest {
protected:
    PluginListView& view()
    {
        if (!m_view) {
            m_view = std::make_unique<PluginListView>(vm());
            m_view->resize(1000, 600);
        }
        return *m_view;
    }
    void TearDown() override
    {
        m_view.reset();
        PluginListTest::TearDown();
    }
    QRect cell(int row, int column) { return view().table()->visualRect(view().model()->index(row, column)); }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(view().table()->viewport(), Qt::LeftButton, modifiers,
                          cell(row, PluginTableModel::nameColumn).center());
    }

    std::unique_ptr<PluginListView> m_view;
};

TEST_F(PluginListViewTest, ModelPassesTheModelTesterThroughReloadsPagingAndPreview)
{
    seed(numbered(250));
    PluginTableModel model(vm());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 100);
    vm().loadMoreIfNeeded();
    EXPECT_EQ(model.rowCount(), 200);
    vm().setSearchText(QStringLiteral("Plugin 01"));
    settle(80);
    EXPECT_EQ(model.rowCount(), 100);
    vm().setSearchText(QString());
    settle(80);
    vm().loadAllPages();
    EXPECT_EQ(model.rowCount(), 250);
    vm().setSortOrder({PluginSortComparator{PluginSortKey::name, false}});
    EXPECT_EQ(model.pluginAt(0)->name, QStringLiteral("Plugin 0250"));
    PluginProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = QStringLiteral("Mix");
    vm().setActiveProfile(profile);
    EXPECT_EQ(model.columnCount(), 4);
    vm().setActiveProfile(std::nullopt);
    EXPECT_EQ(model.columnCount(), 6);
}

TEST_F(PluginListViewTest, ColumnsTextsAndSortKeys)
{
    AudioPlugin noVendor = plugin(QStringLiteral("Alpha"));
    noVendor.manufacturer.clear();
    noVendor.version.reset();
    AudioPlugin emptyVersion = plugin(QStringLiteral("Beta"), PluginFormat::au, false);
    emptyVersion.version = QStringLiteral("2.5");
    emptyVersion.lastUsed = m_clock->now().addDays(-3);
    seed({noVendor, emptyVersion});

    PluginTableModel& model = *view().model();
    QStringList titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles.append(model.headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(titles, (QStringList{"Status", "Name", "Manufacturer", "Format", "Version", "Last Used(Est.)"}));

    auto text = [&model](int row, int column) { return model.index(row, column).data().toString(); };
    EXPECT_EQ(text(0, PluginTableModel::manufacturerColumn), QStringLiteral("Unknown"));
    EXPECT_FALSE(model.index(0, PluginTableModel::manufacturerColumn).data(Qt::ToolTipRole).isValid());
    EXPECT_EQ(text(1, PluginTableModel::manufacturerColumn), QStringLiteral("Acme"));
    EXPECT_EQ(model.index(1, PluginTableModel::manufacturerColumn).data(Qt::ToolTipRole).toString(),
              QStringLiteral("Visit Acme website"));
    EXPECT_EQ(text(0, PluginTableModel::versionColumn), QStringLiteral("Unknown"));
    EXPECT_EQ(text(1, PluginTableModel::versionColumn), QStringLiteral("2.5"));
    EXPECT_EQ(text(0, PluginTableModel::lastUsedColumn), QStringLiteral("Unknown"));
    EXPECT_EQ(text(1, PluginTableModel::lastUsedColumn), QStringLiteral("3 days ago"));
    EXPECT_EQ(text(1, PluginTableModel::formatColumn), QStringLiteral("Audio Units"));
    EXPECT_EQ(text(1, PluginTableModel::statusColumn), QStringLiteral("Disabled"));

    // Header clicks map to the view model's sort: first ascending, again reverses.
    const PluginSortKey keys[] = {PluginSortKey::statusValue,  PluginSortKey::name,
                                  PluginSortKey::manufacturer, PluginSortKey::formatRawValue,
                                  PluginSortKey::versionValue, PluginSortKey::lastUsedValue};
    QHeaderView* header = view().table()->horizontalHeader();
    for (int column = 0; column < 6; ++column) {
        SCOPED_TRACE(column);
        const bool alreadySorted = vm().sortOrder().value(0).key == keys[column];
        const bool wasForward = vm().sortOrder().value(0).forward;
        Q_EMIT header->sectionClicked(column);
        ASSERT_EQ(vm().sortOrder().size(), 1);
        EXPECT_EQ(vm().sortOrder().first().key, keys[column]);
        EXPECT_EQ(vm().sortOrder().first().forward, alreadySorted ? !wasForward : true);
        EXPECT_EQ(header->sortIndicatorSection(), column);
        Q_EMIT header->sectionClicked(column);
        EXPECT_EQ(vm().sortOrder().first().forward, alreadySorted ? wasForward : false);
        EXPECT_EQ(header->sortIndicatorOrder(),
                  vm().sortOrder().first().forward ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

TEST_F(PluginListViewTest, SwitchClickSelectsTheRowAndTogglesThePlugin)
{
    seed({plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))});
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    QSignalSpy rowChanges(view().model(), &QAbstractItemModel::dataChanged);
    QSignalSpy resets(view().model(), &QAbstractItemModel::modelReset);

    const QRect status = cell(1, PluginTableModel::statusColumn);
    QTest::mouseClick(view().table()->viewport(), Qt::LeftButton, {}, PluginCellDelegate::switchRect(status).center());
    EXPECT_EQ(vm().selectedPlugins(), QSet<QUuid>{view().model()->pluginAt(1)->id});
    EXPECT_TRUE(m_runner->commands().isEmpty()); // the toggle runs after the click
    settle();
    ASSERT_EQ(m_runner->commands().size(), 1);
    EXPECT_TRUE(m_runner->commands().first().contains(QStringLiteral("Beta.vst3")));
    EXPECT_FALSE(view().model()->pluginAt(1)->isEnabled);
    // One row changed in place: no reset, the selection stays.
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GE(rowChanges.count(), 1);
    EXPECT_TRUE(view().table()->selectionModel()->isRowSelected(1, {}));

    // A click beside the switch only selects.
    QTest::mouseClick(view().table()->viewport(), Qt::LeftButton, {}, status.topLeft() + QPoint(2, 2));
    settle();
    EXPECT_EQ(m_runner->commands().size(), 1);
}

TEST_F(PluginListViewTest, SwitchIgnoresClicksWhileAnOperationRuns)
{
    seed({plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))});
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    bool interactiveDuringRun = true;
    m_runner->setOnRun([&](const QString&) {
        interactiveDuringRun = view().delegate()->isInteractive();
        QTest::mouseClick(view().table()->viewport(), Qt::LeftButton, {},
                          PluginCellDelegate::switchRect(cell(0, PluginTableModel::statusColumn)).center());
        settle();
    });
    vm().togglePlugin(*view().model()->pluginAt(1));
    settle();
    EXPECT_FALSE(interactiveDuringRun);
    EXPECT_EQ(m_runner->commands().size(), 1);
    EXPECT_TRUE(view().delegate()->isInteractive());
}

TEST_F(PluginListViewTest, FooterTextsAt100And101Rows)
{
    const struct {
        int rows;
        bool loadAll;
        QString count;
        bool more;
        bool hint;
    } cases[] = {
        {0, false, {}, false, false},
        {100, false, QStringLiteral("Showing 100 of 100 plugins"), false, false},
        {101, false, QStringLiteral("Showing 100 of 101 plugins"), true, false},
        {101, true, QStringLiteral("Showing 101 of 101 plugins"), false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        m_view.reset();
        seed(numbered(c.rows));
        if (c.loadAll)
            QTest::mouseClick(view().loadAllButton(), Qt::LeftButton);
        EXPECT_EQ(view().footer()->isVisibleTo(&view()), c.rows > 0);
        if (c.rows == 0)
            continue;
        EXPECT_EQ(view().countLabel()->text(), c.count);
        EXPECT_EQ(view().loadAllButton()->isVisibleTo(&view()), c.more);
        EXPECT_EQ(view().pagingIndicator()->isVisibleTo(&view()), c.more);
        EXPECT_EQ(view().keyboardHint()->isVisibleTo(&view()), c.hint);
        EXPECT_EQ(view().keyboardHint()->text(), QStringLiteral("Ctrl+Home Top · Ctrl+End Bottom"));
    }
}

TEST_F(PluginListViewTest, ScrollingToTheLastRowLoadsTheNextPage)
{
    seed(numbered(250));
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    settle();
    EXPECT_EQ(view().model()->rowCount(), 100);
    view().table()->scrollToBottom();
    settle();
    EXPECT_EQ(view().model()->rowCount(), 200);
    EXPECT_EQ(view().countLabel()->text(), QStringLiteral("Showing 200 of 250 plugins"));
}

TEST_F(PluginListViewTest, SelectionIsCollectedAcrossPagesAndFiltersAndSurvivesResets)
{
    seed(numbered(150));
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    const QUuid first = view().model()->pluginAt(0)->id;
    const QUuid second = view().model()->pluginAt(1)->id;
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(vm().persistedSelections(), (QSet<QUuid>{first, second}));
    EXPECT_EQ(vm().consolidatedBulkPlugins().size(), 2);

    // A row of the next page joins the collection.
    vm().loadAllPages();
    const int lastRow = view().model()->rowCount() - 1;
    const QUuid last = view().model()->pluginAt(lastRow)->id;
    view().table()->selectionModel()->select(view().model()->index(lastRow, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(vm().persistedSelections().size(), 3);

    // Another search: the rows leave the table but stay collected.
    vm().setSearchText(QStringLiteral("Plugin 0100"));
    settle(80);
    EXPECT_EQ(view().model()->rowCount(), 1);
    EXPECT_TRUE(view().table()->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(vm().persistedSelections(), (QSet<QUuid>{first, second, last}));

    // Clearing the search shows the first page again with its collected rows selected.
    vm().setSearchText(QString());
    settle(80);
    EXPECT_TRUE(view().table()->selectionModel()->isRowSelected(0, {}));
    EXPECT_TRUE(view().table()->selectionModel()->isRowSelected(1, {}));
    EXPECT_FALSE(view().table()->selectionModel()->isRowSelected(2, {}));

    // Deselecting in the table keeps the id collected.
    clickRow(2);
    EXPECT_TRUE(vm().persistedSelections().contains(first));
    EXPECT_EQ(vm().persistedSelections().size(), 4);
}

TEST_F(PluginListViewTest, ManufacturerLinkOpensTheWebSite)
{
    AudioPlugin known = plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("FabFilter"));
    AudioPlugin unknown = plugin(QStringLiteral("Thing"), PluginFormat::vst3, true, QStringLiteral("Tone & Tube"));
    seed({known, unknown});
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    for (int row = 0; row < 2; ++row) {
        const QRect c = cell(row, PluginTableModel::manufacturerColumn);
        const QRect link =
            PluginCellDelegate::linkRect(c, view().model()->index(row, 2).data().toString(),
                                         view().model()->index(row, 2).data(Qt::FontRole).value<QFont>());
        QTest::mouseClick(view().table()->viewport(), Qt::LeftButton, {}, link.center());
    }
    ASSERT_EQ(m_workspace->opened().size(), 2);
    EXPECT_EQ(m_workspace->opened().at(0).host(), QStringLiteral("www.fabfilter.com"));
    EXPECT_EQ(QUrlQuery(m_workspace->opened().at(1)).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded),
              QStringLiteral("Tone & Tube audio plugin"));
}

TEST_F(PluginListViewTest, ContextMenuForOneRow)
{
    AudioPlugin withVersion = plugin(QStringLiteral("Pro-Q 3"), PluginFormat::vst3, true, QStringLiteral("FabFilter"));
    withVersion.version = QStringLiteral("3.21");
    AudioPlugin bare = plugin(QStringLiteral("Zeta"), PluginFormat::au, false, QString());
    bare.version.reset();
    seed({withVersion, bare});

    std::unique_ptr<QMenu> menu(view().createContextMenu(view().model()->index(0, 1)));
    EXPECT_EQ(actionTexts(menu.get()), (QStringList{"Visit FabFilter Website", "Search for Updates", "---",
                                                    "Copy Version (3.21)", "---", "Disable Plugin"}));
    actionNamed(menu.get(), QStringLiteral("Copy Version (3.21)"))->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("3.21"));
    actionNamed(menu.get(), QStringLiteral("Search for Updates"))->trigger();
    ASSERT_EQ(m_workspace->opened().size(), 1);
    EXPECT_EQ(QUrlQuery(m_workspace->opened().first()).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded),
              QStringLiteral("Pro-Q 3 FabFilter update latest version"));
    EXPECT_TRUE(m_workspace->opened().first().toEncoded().contains("Pro-Q%203%20FabFilter%20update"));
    actionNamed(menu.get(), QStringLiteral("Visit FabFilter Website"))->trigger();
    EXPECT_EQ(m_workspace->opened().last().host(), QStringLiteral("www.fabfilter.com"));

    std::unique_ptr<QMenu> bareMenu(view().createContextMenu(view().model()->index(1, 1)));
    EXPECT_EQ(actionTexts(bareMenu.get()),
              (QStringList{"Visit Manufacturer Website", "Search for Updates", "---", "Enable Plugin"}));
    actionNamed(bareMenu.get(), QStringLiteral("Enable Plugin"))->trigger();
    EXPECT_TRUE(m_runner->commands().isEmpty());
    settle();
    EXPECT_EQ(m_runner->commands().size(), 1);

    std::unique_ptr<QMenu> outside(view().createContextMenu(QModelIndex()));
    EXPECT_TRUE(outside->isEmpty());
}

TEST_F(PluginListViewTest, ContextMenuForASelectionCountsWhatItToggles)
{
    seed(numbered(5));
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    clickRow(2, Qt::ControlModifier);

    // Inside the selection: one toggle for all three.
    std::unique_ptr<QMenu> menu(view().createContextMenu(view().model()->index(1, 1)));
    EXPECT_EQ(actionTexts(menu.get()), QStringList{QStringLiteral("Toggle 3 Plugins")});
    // Outside it: the clicked row alone.
    std::unique_ptr<QMenu> single(view().createContextMenu(view().model()->index(4, 1)));
    EXPECT_EQ(actionTexts(single.get()).first(), QStringLiteral("Visit Acme Website"));

    // A secondary click neither changes the selection nor collects the clicked row.
    const QSet<QUuid> selectedBefore = vm().selectedPlugins();
    const QSet<QUuid> collectedBefore = vm().persistedSelections();
    for (int row : {4, 1}) {
        SCOPED_TRACE(row);
        const QPoint at = cell(row, PluginTableModel::nameColumn).center();
        QTest::mousePress(view().table()->viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(view().table()->viewport(), Qt::RightButton, {}, at);
        EXPECT_EQ(vm().selectedPlugins(), selectedBefore);
        EXPECT_EQ(vm().persistedSelections(), collectedBefore);
        EXPECT_EQ(view().table()->selectionModel()->selectedRows().size(), 3);
    }
    // The menu itself comes with the context-menu event that follows the click.
    const QPoint at = cell(4, PluginTableModel::nameColumn).center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, view().table()->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view().table()->viewport(), &request);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(actionTexts(popup).first(), QStringLiteral("Visit Acme Website"));
    popup->close();
    settle();

    // Filter so only one selected row is shown: the label counts that one.
    const QString shown = view().model()->pluginAt(0)->name;
    vm().setSearchText(shown);
    settle(80);
    const QSet<QUuid> three = QSet<QUuid>(vm().persistedSelections());
    std::unique_ptr<QMenu> filtered(RowContextMenu::build(vm(), view().model()->rows(), three, nullptr));
    EXPECT_EQ(actionTexts(filtered.get()), QStringList{QStringLiteral("Toggle 1 Plugins")});
    filtered->actions().first()->trigger();
    settle();
    EXPECT_FALSE(m_runner->commands().isEmpty());
}

TEST_F(PluginListViewTest, ANewListStartsAtItsTopWithoutPagingIn)
{
    // Each change of what is listed shows the new first page from its top, and the old
    // scroll position loads no second page.
    const struct {
        const char* label;
        std::function<void(PluginManagerViewModel&)> change;
    } changes[] = {
        {"sort",
         [](PluginManagerViewModel& m) {
             m.setSortOrder({PluginSortComparator{PluginSortKey::name, false}});
         }},
        {"search", [](PluginManagerViewModel& m) { m.setSearchText(QStringLiteral("Plugin 0")); }},
        {"format filter", [](PluginManagerViewModel& m) { m.setSelectedFormats({PluginFormat::vst3}); }},
        {"manufacturer filter",
         [](PluginManagerViewModel& m) { m.setSelectedManufacturers({QStringLiteral("Acme")}); }},
    };
    seed(numbered(250));
    view().resize(900, 500);
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    QScrollBar* bar = view().table()->verticalScrollBar();
    for (const auto& c : changes) {
        SCOPED_TRACE(c.label);
        vm().loadAllPages();
        settle();
        ASSERT_EQ(view().model()->rowCount(), 250);
        view().table()->scrollToBottom();
        settle();
        ASSERT_GT(bar->value(), 0);
        c.change(vm());
        settle(80);
        EXPECT_EQ(bar->value(), 0);
        EXPECT_EQ(view().model()->rowCount(), 100);
        EXPECT_TRUE(vm().canLoadMore());
        EXPECT_EQ(view().table()->visualRect(view().model()->index(0, 1)).top(), 0);
    }

    // A toggle reloads the same list: the reader keeps the place.
    view().table()->scrollTo(view().model()->index(60, 1), QAbstractItemView::PositionAtTop);
    settle();
    const int place = bar->value();
    ASSERT_GT(place, 0);
    vm().togglePlugin(*view().model()->pluginAt(60));
    settle();
    EXPECT_FALSE(view().model()->pluginAt(60)->isEnabled);
    EXPECT_EQ(bar->value(), place);
}

TEST_F(PluginListViewTest, ColumnsShareANarrowWidthAndStayResizable)
{
    seed(numbered(150)); // enough rows for a vertical scroll bar
    view().resize(650, 500);
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    settle();
    QTableView* table = view().table();
    QHeaderView* header = table->horizontalHeader();

    auto expectAllColumnsFit = [&] {
        const int width = table->viewport()->width();
        EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
        int total = 0;
        for (int column = 0; column < view().model()->columnCount(); ++column) {
            SCOPED_TRACE(PluginTableModel::columnTitle(column).toStdString());
            const int left = header->sectionViewportPosition(column);
            const int size = header->sectionSize(column);
            EXPECT_GE(left, 0);
            EXPECT_LE(left + size, width);
            // The title with its sort arrow is never cut.
            EXPECT_GE(size, header->sectionSizeHint(column));
            EXPECT_GE(size, header->fontMetrics().horizontalAdvance(PluginTableModel::columnTitle(column)));
            total += size;
        }
        EXPECT_EQ(total, width);
    };
    {
        SCOPED_TRACE("650 px");
        EXPECT_LT(table->viewport()->width(), 650); // the vertical scroll bar takes its part
        expectAllColumnsFit();
    }
    EXPECT_EQ(header->sectionResizeMode(PluginTableModel::manufacturerColumn), QHeaderView::Stretch);
    for (int column : {PluginTableModel::statusColumn, PluginTableModel::nameColumn, PluginTableModel::formatColumn,
                       PluginTableModel::versionColumn, PluginTableModel::lastUsedColumn})
        EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::Interactive) << column;

    // A wider window widens Name and Manufacturer only.
    const int format = header->sectionSize(PluginTableModel::formatColumn);
    const int name = header->sectionSize(PluginTableModel::nameColumn);
    view().resize(1200, 500);
    settle();
    {
        SCOPED_TRACE("1200 px");
        expectAllColumnsFit();
    }
    EXPECT_EQ(header->sectionSize(PluginTableModel::formatColumn), format);
    EXPECT_GT(header->sectionSize(PluginTableModel::nameColumn), name);

    // A hand-widened Name keeps its larger share when the window narrows again.
    const int before = header->sectionSize(PluginTableModel::nameColumn);
    header->resizeSection(PluginTableModel::nameColumn, before + 100);
    settle();
    EXPECT_EQ(header->sectionSize(PluginTableModel::nameColumn), before + 100);
    const double share =
        double(header->sectionSize(PluginTableModel::nameColumn)) /
        (header->sectionSize(PluginTableModel::nameColumn) + header->sectionSize(PluginTableModel::manufacturerColumn));
    view().resize(800, 500);
    settle();
    {
        SCOPED_TRACE("800 px after a hand resize");
        expectAllColumnsFit();
    }
    const double shareAfter =
        double(header->sectionSize(PluginTableModel::nameColumn)) /
        (header->sectionSize(PluginTableModel::nameColumn) + header->sectionSize(PluginTableModel::manufacturerColumn));
    EXPECT_NEAR(shareAfter, share, 0.02);

    // The preview's four columns fit the same way.
    PluginProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = QStringLiteral("Mix");
    view().resize(650, 500);
    vm().setActiveProfile(profile);
    settle();
    ASSERT_EQ(view().model()->columnCount(), 4);
    {
        SCOPED_TRACE("preview");
        expectAllColumnsFit();
    }
}

TEST_F(PluginListViewTest, CtrlHomeAndCtrlEndReachTheFirstAndLastLoadedRow)
{
    seed(numbered(150));
    vm().loadAllPages();
    view().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view()));
    settle();
    EXPECT_EQ(view().keyboardHint()->text(), QStringLiteral("Ctrl+Home Top · Ctrl+End Bottom"));
    EXPECT_TRUE(view().keyboardHint()->isVisibleTo(&view())); // all 150 rows are loaded
    QTableView* table = view().table();
    table->setFocus();
    clickRow(3);

    QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
    settle();
    EXPECT_EQ(table->currentIndex().row(), 149);
    EXPECT_TRUE(table->viewport()->rect().contains(table->visualRect(table->currentIndex()).center()));
    EXPECT_EQ(view().model()->rowCount(), 150);

    QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
    settle();
    EXPECT_EQ(table->currentIndex().row(), 0);
    EXPECT_EQ(table->verticalScrollBar()->value(), 0);
}
