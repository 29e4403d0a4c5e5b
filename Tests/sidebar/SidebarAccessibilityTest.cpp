#include "Platform/MenuBarLoginItem.h"
#include "Platform/linux/XdgAutostartLoginItem.h"
#include "catalogue/ManufacturerWebsites.h"
#include "sidebar/ActivityLogView.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/ManufacturerListModel.h"
#include "sidebar/ManufacturerListView.h"
#include "sidebar/MenuBarSection.h"
#include "sidebar/ProfileRow.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/SidebarFixture.h"
#include "sidebar/StatisticsSection.h"
#include "sidebar/ToggleSwitch.h"
#include "widgets/SectionHeaderButton.h"

#include <QAccessible>
#include <QScopeGuard>
#include <QScrollArea>
#include <QToolButton>

/// The sidebar driven through the accessibility interfaces only.
class SidebarAccessibilityTest : public SidebarTest {
protected:
    static QAccessibleInterface* accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }
};

TEST_F(SidebarAccessibilityTest, AManufacturersToggleActionTicksItLikeSpace)
{
    seed({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("FabFilter")),
          plugin(QStringLiteral("Decapitator"), PluginFormat::aax, true, QStringLiteral("Soundtoys"))});
    ManufacturerFilterSection& makers = *sidebar().manufacturersSection();
    sidebar().show();
    makers.header()->click();
    QAccessibleInterface* list = accessible(makers.listView());
    ASSERT_NE(list->tableInterface(), nullptr);
    QAccessibleInterface* soundtoys = list->tableInterface()->cellAt(1, 0);
    ASSERT_NE(soundtoys, nullptr);
    EXPECT_EQ(soundtoys->text(QAccessible::Name), QStringLiteral("Soundtoys"));
    EXPECT_TRUE(soundtoys->state().checkable);
    EXPECT_FALSE(soundtoys->state().checked);

    soundtoys->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(vm().selectedManufacturers(), QSet<QString>{QStringLiteral("Soundtoys")});
    soundtoys = accessible(makers.listView())->tableInterface()->cellAt(1, 0);
    EXPECT_TRUE(soundtoys->state().checked);

    soundtoys->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(m_workspace->opened().size(), 1);
    EXPECT_EQ(m_workspace->opened().first(), manufacturerWebsiteURL(QStringLiteral("Soundtoys")));
}

// An assistive "press" on a profile row's button returns before its question is asked.
TEST_F(SidebarAccessibilityTest, ProfileRowButtonsAnswerAnActivationBeforeTheirDialogOpens)
{
    seed({plugin(QStringLiteral("Alpha"), PluginFormat::vst3, true)});
    profiles().saveProfile(QStringLiteral("Live"), vm().plugins());
    sidebar().show();
    sidebar().profilesSection()->header()->click();
    ProfileRow* row = sidebar().profilesSection()->rows().value(0);
    ASSERT_NE(row, nullptr);
    for (QToolButton* button : {row->applyButton(), row->updateButton(), row->exportButton(), row->deleteButton()}) {
        SCOPED_TRACE(button->accessibleName().toStdString());
        const qsizetype asked = m_prompter->alerts.size() + m_prompter->fileTitles.size();
        accessible(button)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(m_prompter->alerts.size() + m_prompter->fileTitles.size(), asked);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_prompter->alerts.size() + m_prompter->fileTitles.size(), asked + 1);
    }
}

TEST_F(SidebarAccessibilityTest, StatisticsNumbersAreReadWithTheirCaptions)
{
    seed({plugin(QStringLiteral("A"), PluginFormat::vst3, true), plugin(QStringLiteral("B"), PluginFormat::vst3, true),
          plugin(QStringLiteral("C"), PluginFormat::au, false)});
    sidebar().show();
    QStringList names;
    for (QLabel* label : sidebar().statisticsSection()->findChildren<QLabel*>())
        names << accessible(label)->text(QAccessible::Name);
    for (const char* expected : {"Total: 3", "Enabled: 2", "Disabled: 1"})
        EXPECT_TRUE(names.contains(QLatin1String(expected))) << expected << " in " << names.join(u'|').toStdString();
}

// The scroll areas of the sidebar and the activity log are either no Tab stop or a named one.
TEST_F(SidebarAccessibilityTest, ScrollAreasAreNoNamelessFocusStops)
{
    seed({plugin(QStringLiteral("A"), PluginFormat::vst3, true)});
    ActivityLogView log(activityLog(), prompter());
    QList<QScrollArea*> areas = sidebar().findChildren<QScrollArea*>() + log.findChildren<QScrollArea*>();
    ASSERT_GE(areas.size(), 2);
    for (QScrollArea* area : areas) {
        SCOPED_TRACE(area->objectName().toStdString());
        const bool tabStop = area->focusPolicy() & Qt::TabFocus;
        EXPECT_TRUE(!tabStop || !accessible(area)->text(QAccessible::Name).isEmpty());
    }
}

// A login item a desktop switched off (its entry marked Hidden) reads off on the switch, and
// switching it on through the switch's assistive toggle writes the entry enabled.
TEST_F(SidebarAccessibilityTest, TheLoginSwitchReadsAnEntryMarkedHiddenAsOff)
{
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/") +
                          QLatin1String(MenuBarLoginItem::kIdentifier) + QStringLiteral(".desktop");
    writeFile(entry, "[Desktop Entry]\nType=Application\nExec=/x/NoSuchHelper\nHidden=true\n");
    PlatformServices services = m_doubles.services();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>(QLatin1String(MenuBarLoginItem::kIdentifier),
                                                                 home() + QStringLiteral("/none/NoSuchHelper"),
                                                                 QStringLiteral("NoSuchHelper"));
    rebuildViewModel(services);
    MenuBarLoginItem::setHelperPathOverride(home() + QStringLiteral("/none/NoSuchHelper"));
    const auto restore = qScopeGuard([] { MenuBarLoginItem::setHelperPathOverride({}); });
    sidebar().show();
    QAbstractButton* toggle = sidebar().menuBarSection()->launchAtLoginSwitch();
    ASSERT_NE(toggle, nullptr);
    QAccessibleInterface* item = accessible(toggle);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Launch at Login"));
    EXPECT_FALSE(item->state().checked);

    item->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(accessible(toggle)->state().checked);
    EXPECT_FALSE(QString::fromUtf8(readFile(entry)).contains(QStringLiteral("Hidden=true")));
}
