#include "Support/ScreenReaderSession.h"
#include "pluginlist/PluginListFixture.h"
#include "pluginlist/PluginListView.h"
#include "pluginlist/PluginTableModel.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

#include <memory>

namespace {

QStringList g_tableWarnings;

void collectTableWarnings(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (message.contains(QLatin1String("QAccessibleTable")) || message.contains(QLatin1String("Invalid index")))
        g_tableWarnings.append(message);
}

} // namespace

/// The plug-in table driven by keys and through the accessibility interfaces only.
class TableAccessibilityTest : public PluginListTest {
protected:
    PluginListView& view()
    {
        if (!m_view) {
            m_view = std::make_unique<PluginListView>(vm());
            m_view->resize(1000, 600);
            m_view->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(m_view.get()));
        }
        return *m_view;
    }
    void TearDown() override
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        m_view.reset();
        PluginListTest::TearDown();
    }
    QAccessibleInterface* tableInterface() { return QAccessible::queryAccessibleInterface(view().table()); }
    QAccessibleInterface* cell(int row, int column) { return tableInterface()->tableInterface()->cellAt(row, column); }
    void focusRow(int row)
    {
        view().table()->setFocus();
        view().table()->setCurrentIndex(view().model()->index(row, PluginTableModel::nameColumn));
    }
    bool enabled(int row) { return view().model()->pluginAt(row)->isEnabled; }

    std::unique_ptr<PluginListView> m_view;
};

TEST_F(TableAccessibilityTest, SpaceAndTheStatusCellsToggleActionSwitchThePluginLikeAClick)
{
    seed({plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))});
    focusRow(1);
    QTest::keyClick(view().table(), Qt::Key_Space);
    settle();
    ASSERT_EQ(m_runner->commands().size(), 1);
    EXPECT_TRUE(m_runner->commands().first().contains(QStringLiteral("Beta.vst3")));
    EXPECT_FALSE(enabled(1));
    EXPECT_TRUE(enabled(0));

    QAccessibleInterface* status = cell(0, PluginTableModel::statusColumn);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("Enabled"));
    EXPECT_TRUE(status->state().checkable);
    EXPECT_TRUE(status->state().checked);
    ASSERT_NE(status->actionInterface(), nullptr);
    ASSERT_TRUE(status->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    status->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    settle();
    ASSERT_EQ(m_runner->commands().size(), 2);
    EXPECT_TRUE(m_runner->commands().last().contains(QStringLiteral("Alpha.vst3")));
    EXPECT_FALSE(enabled(0));
    status = cell(0, PluginTableModel::statusColumn);
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("Disabled"));
    EXPECT_FALSE(status->state().checked);

    // Only the Status cell switches: the Name cell's actions focus the row or open its menu.
    const QStringList nameActions = cell(0, PluginTableModel::nameColumn)->actionInterface()->actionNames();
    EXPECT_FALSE(nameActions.contains(QAccessibleActionInterface::toggleAction()));
    cell(0, PluginTableModel::nameColumn)->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_TRUE(view().table()->selectionModel()->isRowSelected(0, {}));
    EXPECT_EQ(m_runner->commands().size(), 2);
}

TEST_F(TableAccessibilityTest, ShiftF10AndTheShowMenuActionOpenTheRowMenu)
{
    seed({plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))});
    focusRow(1);
    QTest::keyClick(view().table(), Qt::Key_F10, Qt::ShiftModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->actions().isEmpty());
    menu->close();
    settle();

    cell(0, PluginTableModel::versionColumn)->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
}

TEST_F(TableAccessibilityTest, TheTableIsOneTabStop)
{
    seed({plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"))});
    EXPECT_FALSE(view().table()->tabKeyNavigation());
    auto* after = new QPushButton(QStringLiteral("After"), &view());
    after->show();
    view().activateWindow();
    focusRow(0);
    QTest::keyClick(view().table(), Qt::Key_Down);
    EXPECT_EQ(view().table()->currentIndex().row(), 1);
    QTest::keyClick(view().table(), Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    EXPECT_EQ(view().table()->currentIndex().row(), 1);
}

TEST_F(TableAccessibilityTest, HeadersAndTheManufacturerLinkAnswerTheirActions)
{
    seed({plugin(QStringLiteral("Alpha")),
          plugin(QStringLiteral("Beta"), PluginFormat::vst3, true, QStringLiteral("Zed"))});
    QAccessibleInterface* table = tableInterface();
    // Numbered as the view numbers its events: the corner, then the headers, one place each.
    QAccessibleInterface* header = table->child(1 + PluginTableModel::manufacturerColumn);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(header->text(QAccessible::Name), QStringLiteral("Manufacturer"));
    header->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    settle();
    ASSERT_FALSE(vm().sortOrder().isEmpty());
    EXPECT_EQ(vm().sortOrder().first().key, PluginSortKey::manufacturer);

    QAccessibleInterface* link = cell(0, PluginTableModel::manufacturerColumn);
    ASSERT_TRUE(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(m_workspace->opened().size(), 1);
}

// A client that still counts the rows of an earlier page asks for cells that are gone: it gets
// none and nothing is printed; every cell it gets reads the model as it is now.
TEST_F(TableAccessibilityTest, AccessibleChildrenStayInStepWithTheModel)
{
    seed(numbered(150));
    const bool wasActive = QAccessible::isActive();
    QAccessible::setActive(true);
    g_tableWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectTableWarnings);

    QAccessibleInterface* table = tableInterface();
    // The view's own numbering: a header row and a header column, shown or not.
    const int columns = view().model()->columnCount() + 1;
    const int before = table->childCount();
    EXPECT_EQ(before, (view().model()->rowCount() + 1) * columns);
    for (int i = 0; i < before; ++i)
        ASSERT_NE(table->child(i), nullptr) << i;

    vm().setSearchText(QStringLiteral("Plugin 000"));
    settle(120);
    ASSERT_EQ(view().model()->rowCount(), 9);
    table = tableInterface();
    EXPECT_EQ(table->childCount(), 10 * columns);
    for (int i = 0; i < before; ++i) {
        QAccessibleInterface* child = table->child(i);
        if (i >= table->childCount()) {
            EXPECT_EQ(child, nullptr) << i;
            continue;
        }
        ASSERT_NE(child, nullptr);
        const int row = i / columns - 1;
        if (row >= 0 && i % columns - 1 == PluginTableModel::nameColumn) {
            EXPECT_EQ(child->text(QAccessible::Name), view().model()->pluginAt(row)->name);
        }
        EXPECT_EQ(table->indexOfChild(child), i);
    }
    // The focus the table announces names the cell the client gets for that number.
    focusRow(4);
    QAccessibleInterface* focused = table->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(QAccessible::Name), view().model()->pluginAt(4)->name);

    qInstallMessageHandler(previous);
    QAccessible::setActive(wasActive);
    EXPECT_TRUE(g_tableWarnings.isEmpty()) << g_tableWarnings.join(u'\n').toStdString();
}

// Sorting without a pointer: the header is a Tab stop before the rows; Left and Right move
// between its sections and Space sorts by the one reached, as a click on it does.
TEST_F(TableAccessibilityTest, TheHeaderSortsFromTheKeyboard)
{
    seed({plugin(QStringLiteral("Alpha"), PluginFormat::vst3, true, QStringLiteral("Zed")),
          plugin(QStringLiteral("Beta"), PluginFormat::vst3, true, QStringLiteral("Acme"))});
    view().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view()));
    QTableView* table = view().table();
    QHeaderView* header = table->horizontalHeader();
    table->setFocus();
    const QImage unfocused = header->grab().toImage();
    QTest::keyClick(table, Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(header->hasFocus()) << "the header comes just before the rows";
    EXPECT_NE(header->grab().toImage(), unfocused) << "the section reached is ringed";
    QTest::keyClick(header, Qt::Key_Tab);
    EXPECT_TRUE(table->hasFocus());
    QTest::keyClick(table, Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(header->hasFocus());

    QTest::keyClick(header, Qt::Key_Home);
    QTest::keyClick(header, Qt::Key_Right);
    QTest::keyClick(header, Qt::Key_Right);
    EXPECT_EQ(header->property("focusedSection").toInt(), int(PluginTableModel::manufacturerColumn));
    QAccessibleInterface* section = tableInterface()->child(1 + PluginTableModel::manufacturerColumn);
    ASSERT_NE(section, nullptr);
    EXPECT_TRUE(section->state().focused);
    EXPECT_FALSE(tableInterface()->child(1 + PluginTableModel::nameColumn)->state().focused);
    EXPECT_EQ(tableInterface()->focusChild(), section);

    QTest::keyClick(header, Qt::Key_Space);
    settle();
    ASSERT_FALSE(vm().sortOrder().isEmpty());
    EXPECT_EQ(vm().sortOrder().first().key, PluginSortKey::manufacturer);
    EXPECT_TRUE(vm().sortOrder().first().forward);
    QTest::keyClick(header, Qt::Key_Return);
    settle();
    EXPECT_FALSE(vm().sortOrder().first().forward) << "the sorted column again reverses, as a second click does";
    EXPECT_EQ(header->sortIndicatorSection(), int(PluginTableModel::manufacturerColumn));

    QTest::keyClick(header, Qt::Key_End);
    EXPECT_EQ(header->property("focusedSection").toInt(), view().model()->columnCount() - 1);
    QTest::keyClick(header, Qt::Key_Right);
    EXPECT_EQ(header->property("focusedSection").toInt(), view().model()->columnCount() - 1);
}

// --- Heard by a screen reader (inside a screen-reader session; see ScreenReaderSession.h) ---

// The view announces every move of the keyboard with its own number for the cell; the cell a
// screen reader gets for that number is the cell the keyboard is on, for every cell of a page.
TEST_F(TableAccessibilityTest, ScreenReaderHearsTheCellTheKeyboardIsOn)
{
    RACKHAND_REQUIRE_SCREEN_READER();
    seed(numbered(12));
    view().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view()));
    QTableView* table = view().table();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
    AccessibleEventLog log;
    const int rows = view().model()->rowCount();
    const int columns = view().model()->columnCount();
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (row > 0 || column > 0) {
                log.clear();
                QTest::keyClick(table, column == 0 ? Qt::Key_Down : Qt::Key_Right);
                if (column == 0) {
                    for (int back = 0; back < columns; ++back)
                        QTest::keyClick(table, Qt::Key_Left);
                }
            }
            const QModelIndex current = table->currentIndex();
            ASSERT_EQ(current.row(), row);
            ASSERT_EQ(current.column(), column);
            if (row == 0 && column == 0)
                continue;
            const QList<AccessibleEventLog::Heard> focus = log.of(QAccessible::Focus);
            ASSERT_FALSE(focus.isEmpty()) << row << "," << column;
            EXPECT_EQ(focus.last().row, row);
            EXPECT_EQ(focus.last().column, column);
            EXPECT_EQ(focus.last().name, table->currentIndex().data().toString().isEmpty()
                                             ? focus.last().name
                                             : table->currentIndex().data().toString());
            EXPECT_TRUE(focus.last().state.focused) << row << "," << column;
            for (const AccessibleEventLog::Heard& added : log.of(QAccessible::SelectionAdd))
                EXPECT_EQ(added.row, row);
            EXPECT_TRUE(log.unresolved.isEmpty()) << log.unresolved.join(u'\n').toStdString();
        }
    }
}

// A switch flipped by Space or by its action is heard as the switch's state change, on the
// cell the screen reader holds.
TEST_F(TableAccessibilityTest, ScreenReaderHearsEverySwitch)
{
    RACKHAND_REQUIRE_SCREEN_READER();
    seed({plugin(QStringLiteral("Alpha")), plugin(QStringLiteral("Beta"), PluginFormat::vst3, false)});
    view().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view()));
    AccessibleEventLog log;
    focusRow(1);
    QAccessibleInterface* held = cell(1, PluginTableModel::statusColumn);
    log.clear();
    QTest::keyClick(view().table(), Qt::Key_Space);
    settle(50);
    QList<AccessibleEventLog::Heard> changes = log.of(QAccessible::StateChanged);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_TRUE(changes.first().changed.checked);
    EXPECT_EQ(changes.first().object, held);
    EXPECT_EQ(changes.first().row, 1);
    EXPECT_EQ(changes.first().column, int(PluginTableModel::statusColumn));
    EXPECT_TRUE(changes.first().state.checked);

    QAccessibleInterface* status = cell(0, PluginTableModel::statusColumn);
    log.clear();
    status->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    settle(50);
    changes = log.of(QAccessible::StateChanged);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first().object, status);
    EXPECT_FALSE(changes.first().state.checked);
    EXPECT_TRUE(log.unresolved.isEmpty()) << log.unresolved.join(u'\n').toStdString();
}

// Reaching a header section is heard as a move of focus to that column header.
TEST_F(TableAccessibilityTest, ScreenReaderHearsTheHeaderSectionReached)
{
    RACKHAND_REQUIRE_SCREEN_READER();
    seed({plugin(QStringLiteral("Alpha"))});
    view().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view()));
    view().table()->setFocus();
    AccessibleEventLog log;
    QTest::keyClick(view().table(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(view().table()->horizontalHeader(), Qt::Key_Home);
    log.clear();
    QTest::keyClick(view().table()->horizontalHeader(), Qt::Key_Right);
    const QList<AccessibleEventLog::Heard> focus = log.of(QAccessible::Focus);
    ASSERT_EQ(focus.size(), 1);
    EXPECT_EQ(focus.first().role, QAccessible::ColumnHeader);
    EXPECT_EQ(focus.first().name, QStringLiteral("Name"));
    EXPECT_TRUE(focus.first().state.focused);
}

TEST_F(TableAccessibilityTest, RunsUnderAScreenReader)
{
    RACKHAND_EXPECT_PASSES_WITH_A_SCREEN_READER(QStringLiteral("*ScreenReaderHears*"), home(),
                                                dataDir() + QStringLiteral("/session"));
}
