#include "sidebar/ActivityLogView.h"

#include "Support/TabStops.h"
#include "sidebar/ActivityLogRow.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarFixture.h"
#include "widgets/SectionHeaderButton.h"

#include <QAccessible>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

class ActivityLogViewTest : public SidebarTest {};

TEST_F(ActivityLogViewTest, HeaderCountsEntriesUpToNinetyNine)
{
    RecentActivitySection& recent = *sidebar().recentActivitySection();
    EXPECT_EQ(recent.countText(), QString());
    EXPECT_EQ(activityLog().log(QStringLiteral("Pro-Q"), QStringLiteral("VST3"), ActivityLogEntry::Action::enabled),
              QString());
    EXPECT_EQ(recent.countText(), QStringLiteral("1"));
    for (int i = 0; i < 149; ++i)
        EXPECT_EQ(
            activityLog().log(QStringLiteral("P%1").arg(i), QStringLiteral("AU"), ActivityLogEntry::Action::disabled),
            QString());
    EXPECT_EQ(recent.countText(), QStringLiteral("99"));

    // At the log's cap: 200 rows, nothing more, newest first.
    for (int i = 0; i < 80; ++i)
        EXPECT_EQ(
            activityLog().log(QStringLiteral("Q%1").arg(i), QStringLiteral("AU"), ActivityLogEntry::Action::deleted),
            QString());
    recent.header()->click();
    ASSERT_NE(recent.logView(), nullptr);
    const QList<ActivityLogRow*> rows = recent.logView()->rows();
    ASSERT_EQ(rows.size(), ActivityLogManager::maxEntries);
    EXPECT_EQ(rows.first()->nameText(), QStringLiteral("Q79"));
    EXPECT_LE(recent.logView()->maximumHeight(), RecentActivitySection::kLogMaxHeight);
}

TEST_F(ActivityLogViewTest, RowsShowActionAndAge)
{
    struct Step {
        const char* name;
        ActivityLogEntry::Action action;
        qint64 ageSeconds;
        QString timeText;
        QString actionText;
        QString symbol;
    };
    const QList<Step> steps{
        {"Old", ActivityLogEntry::Action::deleted, 4 * 86400 + 10, QStringLiteral("4d ago"), QStringLiteral("Deleted"),
         QStringLiteral("trash.fill")},
        {"Yesterday", ActivityLogEntry::Action::disabled, 90000, QStringLiteral("yesterday"),
         QStringLiteral("Disabled"), QStringLiteral("xmark.circle.fill")},
        {"Hours", ActivityLogEntry::Action::enabled, 3 * 3600 + 5, QStringLiteral("3h ago"), QStringLiteral("Enabled"),
         QStringLiteral("checkmark.circle.fill")},
        {"Minutes", ActivityLogEntry::Action::enabled, 5 * 60, QStringLiteral("5m ago"), QStringLiteral("Enabled"),
         QStringLiteral("checkmark.circle.fill")},
        {"Now", ActivityLogEntry::Action::disabled, 59, QStringLiteral("just now"), QStringLiteral("Disabled"),
         QStringLiteral("xmark.circle.fill")},
    };
    // Log oldest first; the clock then stands at the newest entry's time plus its age.
    const QDateTime now = m_clock->now();
    for (const Step& s : steps) {
        m_clock->set(now.addSecs(-s.ageSeconds));
        EXPECT_EQ(activityLog().log(QString::fromUtf8(s.name), QStringLiteral("VST3"), s.action), QString());
    }
    m_clock->set(now);
    RecentActivitySection& recent = *sidebar().recentActivitySection();
    recent.header()->click();
    const QList<ActivityLogRow*> rows = recent.logView()->rows();
    ASSERT_EQ(rows.size(), steps.size());
    for (int i = 0; i < steps.size(); ++i) {
        const Step& s = steps[steps.size() - 1 - i]; // newest at the top
        SCOPED_TRACE(s.name);
        EXPECT_EQ(rows[i]->nameText(), QString::fromUtf8(s.name));
        EXPECT_EQ(rows[i]->formatText(), QStringLiteral("VST3"));
        EXPECT_EQ(rows[i]->actionText(), s.actionText);
        EXPECT_EQ(rows[i]->timeText(), s.timeText);
        EXPECT_EQ(rows[i]->symbolName(), s.symbol);
    }
}

TEST_F(ActivityLogViewTest, ClearAsksFirstAndEmptiesLogAndFile)
{
    RecentActivitySection& recent = *sidebar().recentActivitySection();
    recent.header()->click();
    EXPECT_TRUE(recent.logView()->isShowingEmptyState());
    EXPECT_TRUE(recent.logView()->clearButton()->isHidden());

    EXPECT_EQ(activityLog().log(QStringLiteral("Pro-Q"), QStringLiteral("VST3"), ActivityLogEntry::Action::enabled),
              QString());
    EXPECT_EQ(activityLog().log(QStringLiteral("Serum"), QStringLiteral("AU"), ActivityLogEntry::Action::disabled),
              QString());
    ASSERT_EQ(recent.logView()->rows().size(), 2); // added while shown
    EXPECT_FALSE(recent.logView()->isShowingEmptyState());
    const QByteArray before = readFile(activityLog().savePath());

    m_prompter->nextAnswers = {0};
    recent.logView()->clearButton()->click();
    ASSERT_EQ(m_prompter->alerts.size(), 1);
    const Prompter::Alert& alert = m_prompter->alerts.first();
    EXPECT_EQ(alert.title, QStringLiteral("Clear activity log?"));
    EXPECT_EQ(alert.buttons.value(1).text, QStringLiteral("Clear Log"));
    EXPECT_EQ(alert.buttons.value(1).role, Prompter::Role::destructive);
    EXPECT_EQ(activityLog().entries().size(), 2);
    EXPECT_EQ(readFile(activityLog().savePath()), before);

    m_prompter->nextAnswers = {1};
    recent.logView()->clearButton()->click();
    EXPECT_EQ(m_prompter->alerts.size(), 2); // saved: nothing more to say
    EXPECT_TRUE(activityLog().entries().isEmpty());
    EXPECT_TRUE(recent.logView()->rows().isEmpty());
    EXPECT_TRUE(recent.logView()->isShowingEmptyState());
    EXPECT_EQ(recent.countText(), QString());
    EXPECT_EQ(QJsonDocument::fromJson(readFile(activityLog().savePath())).array().size(), 0);
    EXPECT_TRUE(QJsonDocument::fromJson(readFile(activityLog().savePath())).isArray());

    // Folding drops the view; unfolding builds a fresh one.
    recent.header()->click();
    EXPECT_EQ(recent.logView(), nullptr);
}

// A clear whose file cannot be written empties the list, and says that the entries come back.
TEST_F(ActivityLogViewTest, AClearThatCannotBeSavedSaysSo)
{
    RecentActivitySection& recent = *sidebar().recentActivitySection();
    recent.header()->click();
    ASSERT_EQ(activityLog().log(QStringLiteral("Pro-Q"), QStringLiteral("VST3"), ActivityLogEntry::Action::enabled),
              QString());
    QFile::remove(activityLog().savePath());
    makeDir(activityLog().savePath()); // a folder where the file goes

    m_prompter->nextAnswers = {1};
    recent.logView()->clearButton()->click();
    EXPECT_TRUE(recent.logView()->rows().isEmpty());
    ASSERT_EQ(m_prompter->alerts.size(), 2);
    const Prompter::Alert& told = m_prompter->alerts.last();
    EXPECT_EQ(told.title, QStringLiteral("Couldn't Clear the Activity Log"));
    EXPECT_TRUE(told.message.startsWith(QStringLiteral("The cleared log could not be saved (")))
        << told.message.toStdString();
    EXPECT_TRUE(told.message.endsWith(QStringLiteral("), so its entries come back the next time Rackhand starts.")));
    ASSERT_EQ(told.buttons.size(), 1);
    EXPECT_EQ(told.buttons.first().text, QStringLiteral("OK"));
}

TEST_F(ActivityLogViewTest, TextsAndOneLineNames)
{
    RecentActivitySection& recent = *sidebar().recentActivitySection();
    recent.header()->click();
    const QStringList empty = labelTexts(recent.logView());
    EXPECT_TRUE(empty.contains(QStringLiteral("Recent Activity")));
    EXPECT_TRUE(empty.contains(QStringLiteral("No activity yet")));
    EXPECT_EQ(recent.logView()->clearButton()->accessibleName(), QStringLiteral("Clear"));

    EXPECT_EQ(activityLog().log(QStringLiteral("Odd\nName"), QStringLiteral("Audio Units"),
                                ActivityLogEntry::Action::deleted),
              QString());
    ASSERT_EQ(recent.logView()->rows().size(), 1);
    ActivityLogRow* row = recent.logView()->rows().first();
    EXPECT_EQ(row->nameText(), QStringLiteral("Odd Name"));
    EXPECT_EQ(row->formatText(), QStringLiteral("Audio Units"));
    EXPECT_EQ(row->actionText(), QStringLiteral("Deleted"));
    EXPECT_EQ(row->timeText(), QStringLiteral("just now"));
    EXPECT_FALSE(recent.logView()->clearButton()->isHidden());
}

// The entries are one Tab stop the arrows move through (the list scrolls along), and the
// keyboard comes back to the entry it left.
TEST_F(ActivityLogViewTest, TheEntriesAreOneTabStopTheArrowsWalk)
{
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(
            activityLog().log(QStringLiteral("P%1").arg(i), QStringLiteral("AU"), ActivityLogEntry::Action::enabled),
            QString());
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QPushButton(QStringLiteral("Before"));
    layout->addWidget(before);
    auto* log = new ActivityLogView(activityLog(), prompter());
    log->setFixedHeight(200);
    layout->addWidget(log);
    auto* after = new QPushButton(QStringLiteral("After"));
    layout->addWidget(after);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QList<ActivityLogRow*> rows = log->rows();
    ASSERT_EQ(rows.size(), 30);

    EXPECT_EQ(tabStops(&window),
              (QList<QWidget*>{before, static_cast<QWidget*>(log->clearButton()), rows.first(), after}));

    rows.first()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rows.first(), Qt::Key_Down);
    EXPECT_TRUE(rows.at(1)->hasFocus());
    QTest::keyClick(rows.at(1), Qt::Key_End);
    EXPECT_TRUE(rows.last()->hasFocus());
    EXPECT_FALSE(rows.last()->visibleRegion().isEmpty()) << "the list scrolls to the entry reached";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(rows.last())->text(QAccessible::Name),
              QStringLiteral("P0, AU, Enabled, just now"));
    QTest::keyClick(rows.last(), Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    QTest::keyClick(after, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_TRUE(rows.last()->hasFocus()) << "back to the entry it left";
}
