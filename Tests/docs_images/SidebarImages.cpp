#include "sidebar/FormatFilterSection.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/ProfilesSection.h"
#include "sidebar/RecentActivitySection.h"
#include "sidebar/SidebarFixture.h"
#include "sidebar/StatisticsSection.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QStyleFactory>

/// Draws the sidebar over a small demo catalogue with filters active. The picture goes
/// to $RACKHAND_SIDEBAR_SCREENSHOT when set (for the docs), else into the sandbox.
class SidebarScreenshotTest : public SidebarTest {};

TEST_F(SidebarScreenshotTest, DrawsOverADemoCatalogueWithFiltersActive)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    struct Demo {
        const char* name;
        const char* maker;
        PluginFormat format;
        bool enabled;
    };
    const QList<Demo> demo{
        {"Pro-Q 3", "FabFilter", PluginFormat::vst3, true},
        {"Pro-Q 3", "FabFilter", PluginFormat::au, true},
        {"Pro-L 2", "FabFilter", PluginFormat::vst3, true},
        {"Pro-C 2", "FabFilter", PluginFormat::aax, false},
        {"Pro-R", "FabFilter", PluginFormat::vst3, false},
        {"Decapitator", "Soundtoys", PluginFormat::au, true},
        {"EchoBoy", "Soundtoys", PluginFormat::vst3, true},
        {"Serum", "Xfer Records", PluginFormat::vst3, true},
        {"Vital", "Vital Audio", PluginFormat::clap, true},
        {"Diva", "u-he", PluginFormat::vst3, false},
        {"Diva", "u-he", PluginFormat::clap, true},
        {"Valhalla Room", "Valhalla DSP", PluginFormat::vst2, true},
        {"SSL Bus", "Waves", PluginFormat::wavesBundle, true},
        {"Ozone 11", "iZotope", PluginFormat::vst3, true},
        {"Neutron 4", "iZotope", PluginFormat::aax, false},
        {"Kontakt 7", "Native Instruments", PluginFormat::au, true},
    };
    QList<AudioPlugin> rows;
    for (const Demo& d : demo)
        rows << plugin(QString::fromUtf8(d.name), d.format, d.enabled, QString::fromUtf8(d.maker));
    seed(rows);
    profiles().saveProfile(QStringLiteral("Mixing"), vm().plugins());
    QList<AudioPlugin> tracking = vm().plugins();
    tracking.first().isEnabled = false;
    tracking[2].isEnabled = false;
    profiles().saveProfile(QStringLiteral("Tracking (low CPU)"), tracking);
    EXPECT_EQ(activityLog().log(QStringLiteral("Pro-R"), QStringLiteral("VST3"), ActivityLogEntry::Action::disabled),
              QString());
    EXPECT_EQ(activityLog().log(QStringLiteral("Diva"), QStringLiteral("CLAP"), ActivityLogEntry::Action::enabled),
              QString());

    SidebarView& view = sidebar();
    view.resize(300, 1300);
    view.show();
    view.profilesSection()->setExpanded(true);
    view.formatsSection()->setExpanded(true);
    view.manufacturersSection()->setExpanded(true);
    view.formatsSection()->toggleFormat(PluginFormat::vst3);
    view.manufacturersSection()->toggleManufacturer(QStringLiteral("FabFilter"));
    view.formatsSection()->setExpanded(true);
    view.manufacturersSection()->setExpanded(true);
    view.statisticsSection()->setExpanded(true);
    QApplication::processEvents();

    const QPixmap picture = view.grab();
    ASSERT_FALSE(picture.isNull());
    const QImage image = picture.toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 20); // something was drawn

    const QString target = qEnvironmentVariableIsSet("RACKHAND_SIDEBAR_SCREENSHOT")
                               ? qEnvironmentVariable("RACKHAND_SIDEBAR_SCREENSHOT")
                               : home() + QStringLiteral("/sidebar.png");
    QDir().mkpath(QFileInfo(target).absolutePath());
    EXPECT_TRUE(picture.save(target, "PNG"));
}
