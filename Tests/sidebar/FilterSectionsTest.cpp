#include "catalogue/ManufacturerWebsites.h"
#include "sidebar/ActionsSection.h"
#include "sidebar/FormatFilterSection.h"
#include "sidebar/ManufacturerFilterSection.h"
#include "sidebar/ManufacturerListModel.h"
#include "sidebar/ManufacturerListView.h"
#include "sidebar/RowButton.h"
#include "sidebar/SidebarFixture.h"
#include "widgets/GlassStyle.h"
#include "widgets/SectionHeaderButton.h"
#include "widgets/SymbolIcons.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

class FilterSectionsTest : public SidebarTest {
protected:
    void seedCatalogue()
    {
        seed({plugin(QStringLiteral("Pro-Q"), PluginFormat::vst3, true, QStringLiteral("FabFilter")),
              plugin(QStringLiteral("Pro-Q"), PluginFormat::au, true, QStringLiteral("FabFilter")),
              plugin(QStringLiteral("Pro-L"), PluginFormat::vst3, false, QStringLiteral("FabFilter")),
              plugin(QStringLiteral("Decapitator"), PluginFormat::aax, true, QStringLiteral("Soundtoys")),
              plugin(QStringLiteral("Serum"), PluginFormat::vst3, false, QStringLiteral("Xfer Records")),
              plugin(QStringLiteral("Little AlterBoy"), PluginFormat::au, true, QStringLiteral("Soundtoys"))});
    }
};

TEST_F(FilterSectionsTest, FormatRowsShowCatalogueCountsWhateverTheFilter)
{
    seedCatalogue();
    FormatFilterSection& formats = *sidebar().formatsSection();
    const QList<std::pair<PluginFormat, QString>> expected{
        {PluginFormat::au, QStringLiteral("2")},   {PluginFormat::vst3, QStringLiteral("3")},
        {PluginFormat::vst2, QStringLiteral("0")}, {PluginFormat::aax, QStringLiteral("1")},
        {PluginFormat::clap, QStringLiteral("0")}, {PluginFormat::wavesBundle, QStringLiteral("0")}};
    vm().setSelectedManufacturers({QStringLiteral("Soundtoys")});
    vm().setSearchText(QStringLiteral("Pro"));
    for (const auto& [format, count] : expected) {
        SCOPED_TRACE(PluginFormats::rawValue(format).toStdString());
        EXPECT_EQ(formats.countText(format), count);
        EXPECT_EQ(formats.symbolName(format), PluginFormats::symbolName(format));
        EXPECT_TRUE(SymbolIcons::hasGlyph(formats.symbolName(format)));
        EXPECT_EQ(formats.row(format)->accessibleName(), PluginFormats::rawValue(format));
    }
}

TEST_F(FilterSectionsTest, FormatRowClicksBuildTheFilter)
{
    seedCatalogue();
    profiles().saveProfile(QStringLiteral("Live"), vm().plugins());
    vm().setActiveProfile(profiles().profiles().first());
    FormatFilterSection& formats = *sidebar().formatsSection();
    formats.header()->click();
    ASSERT_TRUE(formats.isExpanded());

    formats.row(PluginFormat::vst3)->click();
    EXPECT_FALSE(vm().activeProfile().has_value()); // the preview ends first
    formats.row(PluginFormat::aax)->click();
    EXPECT_EQ(vm().selectedFormats(), (QSet<PluginFormat>{PluginFormat::vst3, PluginFormat::aax}));
    EXPECT_TRUE(vm().showAllPlugins());
    EXPECT_EQ(vm().totalPluginCount(), 4);
    EXPECT_TRUE(sidebar().actionsSection()->isExpanded());
    for (PluginFormat f : {PluginFormat::vst3, PluginFormat::aax}) {
        EXPECT_EQ(formats.symbolName(f), QStringLiteral("checkmark.circle.fill"));
        EXPECT_TRUE(formats.row(f)->isSelected());
    }
    EXPECT_FALSE(formats.row(PluginFormat::au)->isSelected());

    // Removing one of two keeps the list; removing the last hides it without a maker filter.
    vm().setShowAllPlugins(false);
    EXPECT_EQ(formats.symbolName(PluginFormat::vst3), QStringLiteral("checkmark.circle.fill"));
    EXPECT_FALSE(formats.row(PluginFormat::vst3)->isSelected());
    formats.row(PluginFormat::vst3)->click();
    EXPECT_EQ(vm().selectedFormats(), (QSet<PluginFormat>{PluginFormat::aax}));
    EXPECT_FALSE(vm().showAllPlugins());
    formats.row(PluginFormat::aax)->click();
    EXPECT_TRUE(vm().selectedFormats().isEmpty());
    EXPECT_FALSE(vm().showAllPlugins());

    vm().setSelectedManufacturers({QStringLiteral("FabFilter")});
    formats.row(PluginFormat::au)->click();
    formats.row(PluginFormat::au)->click();
    EXPECT_TRUE(vm().showAllPlugins()); // a maker filter still holds the list

    formats.header()->click();
    EXPECT_FALSE(formats.isExpanded());
    EXPECT_EQ(vm().selectedManufacturers(), QSet<QString>{QStringLiteral("FabFilter")});
}

TEST_F(FilterSectionsTest, ManufacturerTextNarrowsRowsOnly)
{
    seedCatalogue();
    ManufacturerFilterSection& makers = *sidebar().manufacturersSection();
    QAbstractItemModelTester tester(makers.listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    makers.header()->click();
    EXPECT_EQ(makers.listModel()->shownNames(),
              (QStringList{QStringLiteral("FabFilter"), QStringLiteral("Soundtoys"), QStringLiteral("Xfer Records")}));
    EXPECT_EQ(makers.filterField()->placeholderText(), QStringLiteral("Filter manufacturers…"));
    EXPECT_TRUE(makers.filterClearButton()->isHidden());

    QTest::keyClicks(makers.filterField(), QStringLiteral("SO"));
    EXPECT_EQ(vm().manufacturerSearchText(), QStringLiteral("SO"));
    EXPECT_EQ(makers.listModel()->shownNames(), QStringList{QStringLiteral("Soundtoys")});
    EXPECT_FALSE(makers.filterClearButton()->isHidden());
    EXPECT_TRUE(vm().selectedManufacturers().isEmpty());

    makers.filterField()->clear();
    QTest::keyClicks(makers.filterField(), QStringLiteral("zzz"));
    EXPECT_TRUE(makers.listModel()->shownNames().isEmpty());
    EXPECT_TRUE(makers.isVisibleTo(&sidebar()));

    makers.filterClearButton()->click();
    EXPECT_EQ(vm().manufacturerSearchText(), QString());
    EXPECT_EQ(makers.filterField()->text(), QString());
    EXPECT_EQ(makers.listModel()->rowCount(), 3);
}

TEST_F(FilterSectionsTest, ManufacturerRowsToggleTheFilterAndOpenWebsites)
{
    seedCatalogue();
    ManufacturerFilterSection& makers = *sidebar().manufacturersSection();
    sidebar().show();
    makers.header()->click();
    ManufacturerListView* list = makers.listView();
    const QModelIndex soundtoys = makers.listModel()->index(1);
    ASSERT_EQ(soundtoys.data().toString(), QStringLiteral("Soundtoys"));
    EXPECT_EQ(soundtoys.data(Qt::ToolTipRole).toString(), QStringLiteral("Visit Soundtoys website"));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->checkRect(soundtoys).center());
    EXPECT_EQ(vm().selectedManufacturers(), QSet<QString>{QStringLiteral("Soundtoys")});
    EXPECT_TRUE(vm().showAllPlugins());
    EXPECT_TRUE(soundtoys.data(ManufacturerListModel::SelectedRole).toBool());
    EXPECT_FALSE(makers.clearButton()->isHidden());
    EXPECT_EQ(sidebar().filterLineText(), QStringLiteral("Soundtoys"));
    EXPECT_EQ(vm().totalPluginCount(), 2);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->linkRect(soundtoys).center());
    ASSERT_EQ(m_workspace->opened().size(), 1);
    EXPECT_EQ(m_workspace->opened().first(), manufacturerWebsiteURL(QStringLiteral("Soundtoys")));
    EXPECT_EQ(vm().selectedManufacturers().size(), 1);

    // Deselecting the last maker hides the list even while formats stay selected.
    vm().setSelectedFormats({PluginFormat::au});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->checkRect(soundtoys).center());
    EXPECT_TRUE(vm().selectedManufacturers().isEmpty());
    EXPECT_FALSE(vm().showAllPlugins());

    makers.toggleManufacturer(QStringLiteral("FabFilter"));
    makers.clearButton()->click();
    EXPECT_TRUE(vm().selectedManufacturers().isEmpty());
    EXPECT_FALSE(vm().showAllPlugins());
    EXPECT_TRUE(makers.clearButton()->isHidden());
    EXPECT_EQ(vm().selectedFormats(), QSet<PluginFormat>{PluginFormat::au});
}

TEST_F(FilterSectionsTest, TwoThousandManufacturersStayOneListView)
{
    QList<AudioPlugin> rows;
    for (int i = 0; i < 2000; ++i)
        rows << plugin(QStringLiteral("Plug %1").arg(i), PluginFormat::vst3, true,
                       QStringLiteral("Vendor %1").arg(i, 4, 10, QLatin1Char('0')));
    seed(rows);
    ManufacturerFilterSection& makers = *sidebar().manufacturersSection();
    makers.header()->click();
    EXPECT_EQ(makers.listModel()->rowCount(), 2000);
    EXPECT_LE(makers.listView()->height(), ManufacturerFilterSection::kListMaxHeight);
    EXPECT_LT(makers.findChildren<QWidget*>().size(), 60); // rows are painted, not built
    vm().setManufacturerSearchText(QStringLiteral("vendor 1999"));
    EXPECT_EQ(makers.listModel()->shownNames(), QStringList{QStringLiteral("Vendor 1999")});
}

TEST_F(FilterSectionsTest, InvertSelectionShowsWithMakerFilterAndSelection)
{
    seedCatalogue();
    PurplePressButton* invert = sidebar().invertSelectionButton();
    EXPECT_FALSE(invert->isVisibleTo(&sidebar()));
    vm().setSelectedManufacturers({QStringLiteral("Soundtoys")});
    EXPECT_FALSE(invert->isVisibleTo(&sidebar()));
    vm().syncSelectionDelta({vm().plugins().first().id}, {});
    ASSERT_TRUE(invert->isVisibleTo(&sidebar())); // also while the section is folded
    invert->click();
    QSet<QUuid> outside;
    for (const AudioPlugin& p : vm().plugins()) {
        if (p.manufacturer != QStringLiteral("Soundtoys"))
            outside.insert(p.id);
    }
    EXPECT_EQ(vm().persistedSelections(), outside);
    EXPECT_TRUE(vm().selectedPlugins().isEmpty());
}
