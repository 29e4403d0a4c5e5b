#include "SidebarFixture.h"

#include "FormatFilterSection.h"
#include "ManufacturerFilterSection.h"
#include "ProfilesSection.h"
#include "RecentActivitySection.h"
#include "StatisticsSection.h"
#include "ActionsSection.h"

#include <QStyleFactory>

class ZzTmpLook : public SidebarTest {};

TEST_F(ZzTmpLook, Narrow)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QList<AudioPlugin> rows;
    for (int i = 0; i < 8; ++i)
        rows << plugin(QStringLiteral("A very long plug-in name number %1 that goes on").arg(i), PluginFormat::vst3, i % 2,
                       QStringLiteral("Some Extremely Long Manufacturer Name %1").arg(i));
    seed(rows);
    profiles().saveProfile(QStringLiteral("A profile with a really long name\nand a line break 🎛️"), vm().plugins());
    profiles().saveProfile(QStringLiteral("Short"), vm().plugins());
    for (int i = 0; i < 5; ++i)
        activityLog().log(QStringLiteral("An activity entry with a long plug-in name %1").arg(i), QStringLiteral("VST3"),
                          ActivityLogEntry::Action(i % 3));
    SidebarView& view = sidebar();
    view.resize(250, 1400);
    view.show();
    view.profilesSection()->setExpanded(true);
    view.profilesSection()->togglePreview(profiles().profiles().first());
    vm().setSelectedManufacturers({QStringLiteral("Some Extremely Long Manufacturer Name 1"), QStringLiteral("Some Extremely Long Manufacturer Name 2"), QStringLiteral("Some Extremely Long Manufacturer Name 3")});
    vm().setSelectedFormats({PluginFormat::vst3, PluginFormat::au, PluginFormat::clap});
    view.formatsSection()->setExpanded(true);
    view.manufacturersSection()->setExpanded(true);
    view.recentActivitySection()->setExpanded(true);
    QApplication::processEvents();
    view.grab().save(QStringLiteral("/tmp/r7/narrow.png"));
    vm().setActiveProfile(std::nullopt);
    vm().setShowAllPlugins(true);
    view.actionsSection()->setExpanded(true);
    view.profilesSection()->setExpanded(false);
    view.formatsSection()->setExpanded(false);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 34));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(20, 20, 24));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Button, QColor(45, 45, 50));
    dark.setColor(QPalette::ButtonText, Qt::white);
    QApplication::setPalette(dark);
    QApplication::processEvents();
    view.grab().save(QStringLiteral("/tmp/r7/dark.png"));
    QApplication::setPalette(QApplication::style()->standardPalette());
}
