#include "shell/NewPluginsOffer.h"

#include "Support/SandboxTest.h"
#include "Support/TabStops.h"
#include "catalogue/ProfileManager.h"
#include "shell/ElidedLabel.h"
#include "shell/NewPluginsBanner.h"
#include "shell/NewPluginsSheet.h"

#include <QAccessible>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

class NewPluginsOfferTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        profiles = std::make_unique<ProfileManager>();
        offer = std::make_unique<NewPluginsOffer>(*profiles);
    }
    void TearDown() override
    {
        offer.reset();
        profiles.reset();
        SandboxTest::TearDown();
    }

    static AudioPlugin plugin(const QString& name, PluginFormat format, bool enabled = true)
    {
        AudioPlugin p;
        p.id = QUuid::createUuid();
        p.name = name;
        p.format = format;
        p.isEnabled = enabled;
        p.originalPath = p.currentPath = QStringLiteral("/x/") + name;
        return p;
    }
    QUuid addProfile(const QString& name)
    {
        profiles->saveProfile(name, {});
        return profiles->profiles().last().id;
    }
    const PluginProfile& profile(const QUuid& id) const
    {
        for (const PluginProfile& p : profiles->profiles()) {
            if (p.id == id)
                return p;
        }
        static PluginProfile none;
        return none;
    }

    std::unique_ptr<ProfileManager> profiles;
    std::unique_ptr<NewPluginsOffer> offer;
};

} // namespace

TEST_F(NewPluginsOfferTest, BannerAndSheetTexts)
{
    const AudioPlugin x = plugin("X", PluginFormat::vst3);
    EXPECT_EQ(NewPluginsOffer::bannerText({x}), QStringLiteral("1 new plugin detected: X"));
    EXPECT_EQ(NewPluginsOffer::sheetDescription(1),
              QStringLiteral("These 1 plugin was just installed on your system. Select which ones to add to your "
                             "profiles."));
    EXPECT_EQ(NewPluginsOffer::sheetDescription(3),
              QStringLiteral("These 3 plugins were just installed on your system. Select which ones to add to your "
                             "profiles."));
    const QList<AudioPlugin> four = {plugin("A", PluginFormat::vst3), plugin("B", PluginFormat::au),
                                     plugin("C", PluginFormat::clap), plugin("D", PluginFormat::aax)};
    EXPECT_EQ(NewPluginsOffer::bannerText(four), QStringLiteral("4 new plugins detected: A, B, C +1 more"));
    EXPECT_EQ(NewPluginsOffer::bannerText(four.mid(0, 3)), QStringLiteral("3 new plugins detected: A, B, C"));
    EXPECT_EQ(NewPluginsOffer::chipText(PluginFormat::au, 2), QStringLiteral("Audio Units (2)"));
    EXPECT_EQ(
        QString::fromUtf8(NewPluginsBanner::kDismissHelp),
        QStringLiteral("Dismiss — these plugins won't be added to profiles. Applying a profile may disable them."));

    offer->offer(four);
    EXPECT_EQ(offer->detectedFormats(),
              (QList<PluginFormat>{PluginFormat::aax, PluginFormat::au, PluginFormat::clap, PluginFormat::vst3}));
    EXPECT_EQ(offer->counterText(), QStringLiteral("4 of 4 plugins selected"));
    EXPECT_EQ(offer->addButtonText(), QStringLiteral("Add 4 to Profiles"));
}

TEST_F(NewPluginsOfferTest, ChipsTurnOnOnlyWhenAllTheirPluginsAreTickedAndOffWhenNone)
{
    const AudioPlugin a = plugin("A", PluginFormat::vst3);
    const AudioPlugin b = plugin("B", PluginFormat::vst3);
    const AudioPlugin c = plugin("C", PluginFormat::au);
    addProfile("P");
    offer->offer({a, b, c});
    EXPECT_TRUE(offer->showBanner());
    EXPECT_EQ(offer->selectedFormats(), (QSet<PluginFormat>{PluginFormat::vst3, PluginFormat::au}));

    offer->toggleFormat(PluginFormat::vst3); // off: unticks both
    EXPECT_EQ(offer->selectedPluginIds(), QSet<QUuid>{c.id});
    EXPECT_FALSE(offer->selectedFormats().contains(PluginFormat::vst3));
    offer->togglePlugin(a.id); // one of two: chip stays off
    EXPECT_FALSE(offer->selectedFormats().contains(PluginFormat::vst3));
    offer->togglePlugin(b.id); // the last one: chip on
    EXPECT_TRUE(offer->selectedFormats().contains(PluginFormat::vst3));
    offer->togglePlugin(a.id); // one unticked: chip keeps its state
    EXPECT_TRUE(offer->selectedFormats().contains(PluginFormat::vst3));
    offer->togglePlugin(b.id); // none ticked: chip off
    EXPECT_FALSE(offer->selectedFormats().contains(PluginFormat::vst3));

    offer->togglePlugin(c.id);
    EXPECT_TRUE(offer->selectedPluginIds().isEmpty());
    EXPECT_EQ(offer->counterText(), QStringLiteral("0 of 3 plugins selected"));
    EXPECT_FALSE(offer->canAdd());
}

TEST_F(NewPluginsOfferTest, ProfileTicksResetToAllAtEachOpening)
{
    const QUuid p1 = addProfile("One");
    const QUuid p2 = addProfile("Two");
    offer->offer({plugin("A", PluginFormat::vst3)});
    offer->openSheet();
    EXPECT_TRUE(offer->showSheet());
    EXPECT_EQ(offer->profileToggleText(), QStringLiteral("Deselect All"));
    offer->toggleAllProfiles();
    EXPECT_TRUE(offer->selectedProfiles().isEmpty());
    EXPECT_EQ(offer->profileToggleText(), QStringLiteral("Select All"));
    EXPECT_FALSE(offer->canAdd());
    offer->toggleProfile(p2);
    EXPECT_EQ(offer->selectedProfiles(), QSet<QUuid>{p2});
    offer->toggleAllProfiles();
    EXPECT_EQ(offer->selectedProfiles(), (QSet<QUuid>{p1, p2}));
    offer->toggleProfile(p1);
    offer->closeSheet();
    offer->openSheet();
    EXPECT_EQ(offer->selectedProfiles(), (QSet<QUuid>{p1, p2}));
}

TEST_F(NewPluginsOfferTest, AddRecordsTickedPluginsByStateAndDismissesTheRest)
{
    const QUuid live = addProfile("Live");
    const QUuid mix = addProfile("Mix");
    const QUuid other = addProfile("Other");
    const AudioPlugin on = plugin("On", PluginFormat::vst3, true);
    const AudioPlugin off = plugin("Off", PluginFormat::au, false);
    const AudioPlugin skipped = plugin("Skipped", PluginFormat::clap, true);
    profiles->setPendingNewPlugins({on, off, skipped});
    offer->offer({on, off, skipped});
    offer->openSheet();
    offer->toggleProfile(other);
    offer->togglePlugin(skipped.id);
    ASSERT_TRUE(offer->canAdd());
    offer->add();

    for (const QUuid& id : {live, mix}) {
        EXPECT_EQ(profile(id).enabledPlugins, QSet<QString>{on.key()});
        EXPECT_EQ(profile(id).allPluginKeys, (QSet<QString>{on.key(), off.key(), skipped.key()}));
    }
    // Unticked plug-ins are known in every profile, recorded in none.
    EXPECT_EQ(profile(other).allPluginKeys, QSet<QString>{skipped.key()});
    EXPECT_TRUE(profile(other).enabledPlugins.isEmpty());
    EXPECT_TRUE(profiles->pendingNewPluginKeys().isEmpty());
    EXPECT_FALSE(offer->showSheet());
    EXPECT_FALSE(offer->showBanner());
}

TEST_F(NewPluginsOfferTest, SkipAndTheBannerCrossRecordNothingAndClearThePendingList)
{
    const QUuid p = addProfile("P");
    const AudioPlugin a = plugin("A", PluginFormat::vst3);
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "skip" : "cross");
        profiles->setPendingNewPlugins({a});
        offer->offer({a});
        if (way == 0) {
            offer->openSheet();
            offer->skip();
        } else {
            offer->dismissBanner();
        }
        EXPECT_TRUE(profile(p).enabledPlugins.isEmpty());
        EXPECT_EQ(profile(p).allPluginKeys, QSet<QString>{a.key()});
        EXPECT_TRUE(profiles->pendingNewPluginKeys().isEmpty());
        EXPECT_FALSE(offer->showBanner());
        EXPECT_FALSE(offer->showSheet());
    }
}

TEST_F(NewPluginsOfferTest, TheSheetShowsAndDrivesTheSelection)
{
    addProfile("P");
    const AudioPlugin a = plugin("A", PluginFormat::vst3, true);
    const AudioPlugin b = plugin("B", PluginFormat::vst3, false);
    offer->offer({a, b});
    offer->openSheet();
    NewPluginsSheet sheet(*offer, *profiles);
    EXPECT_EQ(sheet.width(), 480);
    EXPECT_EQ(sheet.descriptionText(), NewPluginsOffer::sheetDescription(2));
    EXPECT_EQ(sheet.counterText(), QStringLiteral("2 of 2 plugins selected"));
    ASSERT_NE(sheet.chip(PluginFormat::vst3), nullptr);
    EXPECT_EQ(sheet.chip(PluginFormat::vst3)->text(), QStringLiteral("VST3 (2)"));
    EXPECT_TRUE(sheet.chip(PluginFormat::vst3)->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(sheet.addButton()->text(), QStringLiteral("Add 2 to Profiles"));
    EXPECT_EQ(sheet.profileToggleButton()->text(), QStringLiteral("Deselect All"));

    QTest::mouseClick(sheet.pluginRow(a.id), Qt::LeftButton);
    EXPECT_EQ(sheet.counterText(), QStringLiteral("1 of 2 plugins selected"));
    EXPECT_EQ(sheet.addButton()->text(), QStringLiteral("Add 1 to Profiles"));
    QTest::mouseClick(sheet.chip(PluginFormat::vst3), Qt::LeftButton);
    EXPECT_EQ(sheet.counterText(), QStringLiteral("0 of 2 plugins selected"));
    EXPECT_FALSE(sheet.addButton()->isEnabled());
    QTest::mouseClick(sheet.chip(PluginFormat::vst3), Qt::LeftButton);
    EXPECT_TRUE(sheet.addButton()->isEnabled());
    QTest::mouseClick(sheet.profileToggleButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet.addButton()->isEnabled());
    EXPECT_EQ(sheet.profileToggleButton()->text(), QStringLiteral("Select All"));
    QTest::mouseClick(sheet.skipButton(), Qt::LeftButton);
    EXPECT_FALSE(offer->showBanner());
}

// The format chips are Tab stops, ringed while focused, read as check boxes, and Space
// switches the one the keyboard is on.
TEST_F(NewPluginsOfferTest, TheFormatChipsWorkFromTheKeyboard)
{
    addProfile("P");
    const AudioPlugin a = plugin("A", PluginFormat::vst3);
    const AudioPlugin b = plugin("B", PluginFormat::au);
    offer->offer({a, b});
    offer->openSheet();
    NewPluginsSheet sheet(*offer, *profiles);
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    QAbstractButton* audioUnits = sheet.chip(PluginFormat::au);
    QAbstractButton* vst3 = sheet.chip(PluginFormat::vst3);
    ASSERT_NE(audioUnits, nullptr);
    ASSERT_NE(vst3, nullptr);
    const QImage unfocused = vst3->grab().toImage();

    // Tab walks the sheet top to bottom: the chips come first.
    const QList<QWidget*> order = tabStops(&sheet);
    EXPECT_LT(order.indexOf(audioUnits), order.indexOf(vst3));
    EXPECT_LT(order.indexOf(vst3), order.indexOf(sheet.pluginRow(a.id)));

    vst3->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(vst3->hasFocus());
    EXPECT_NE(vst3->grab().toImage(), unfocused) << "no focus ring";
    QAccessibleInterface* chip = QAccessible::queryAccessibleInterface(vst3);
    EXPECT_EQ(chip->role(), QAccessible::CheckBox);
    EXPECT_EQ(chip->text(QAccessible::Name), QStringLiteral("VST3 (1)"));
    EXPECT_TRUE(chip->state().checked);

    QTest::keyClick(vst3, Qt::Key_Space);
    EXPECT_FALSE(offer->selectedFormats().contains(PluginFormat::vst3));
    EXPECT_FALSE(offer->isTicked(a.id));
    EXPECT_FALSE(chip->state().checked);
    EXPECT_EQ(sheet.counterText(), QStringLiteral("1 of 2 plugins selected"));
    QTest::keyClick(vst3, Qt::Key_Space);
    EXPECT_TRUE(offer->isTicked(a.id));
    EXPECT_TRUE(chip->state().checked);
}

TEST_F(NewPluginsOfferTest, WithoutProfilesTheSheetCanOnlySkip)
{
    offer->offer({plugin("A", PluginFormat::vst3)});
    offer->openSheet();
    NewPluginsSheet sheet(*offer, *profiles);
    EXPECT_EQ(sheet.profileToggleButton()->text(), QStringLiteral("Deselect All"));
    EXPECT_FALSE(sheet.addButton()->isEnabled());
    QTest::mouseClick(sheet.skipButton(), Qt::LeftButton);
    EXPECT_FALSE(offer->showSheet());
}

TEST_F(NewPluginsOfferTest, TheBannerShowsTheTextAndItsButtonsAct)
{
    QWidget parent;
    NewPluginsBanner banner(*offer, &parent);
    addProfile("P");
    offer->offer({plugin("A", PluginFormat::vst3), plugin("B", PluginFormat::vst3)});
    EXPECT_EQ(banner.text(), QStringLiteral("2 new plugins detected: A, B"));
    EXPECT_EQ(banner.addButton()->text(), QStringLiteral("Add to Profiles"));
    EXPECT_EQ(banner.dismissButton()->toolTip(), QString::fromUtf8(NewPluginsBanner::kDismissHelp));
    EXPECT_FALSE(banner.dismissButton()->accessibleName().isEmpty());
    QTest::mouseClick(banner.addButton(), Qt::LeftButton);
    EXPECT_TRUE(offer->showSheet());
    offer->closeSheet();
    QTest::mouseClick(banner.dismissButton(), Qt::LeftButton);
    EXPECT_FALSE(offer->showBanner());
}

// Long names end in an ellipsis inside the fixed-width sheet and the banner, and stay whole
// where a reader or the pointer asks; the banner keeps its count of the others.
TEST_F(NewPluginsOfferTest, LongNamesAreShortenedWithAnEllipsisAndTheCountOfTheOthersStays)
{
    const QString longName = QStringLiteral("Vintage Tube Channel Strip Collection Deluxe Edition With Extra Long "
                                            "Name For Testing");
    const auto fits = [](const QLabel* label) {
        return label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
    };
    addProfile("P");
    const AudioPlugin wide = plugin(longName, PluginFormat::vst3);
    offer->offer({wide, plugin(longName + " 2", PluginFormat::vst3), plugin(longName + " 3", PluginFormat::au),
                  plugin(longName + " 4", PluginFormat::clap)});
    {
        NewPluginsSheet sheet(*offer, *profiles);
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
        QPushButton* row = sheet.pluginRow(wide.id);
        ASSERT_NE(row, nullptr);
        const auto* name = row->findChild<ElidedLabel*>();
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(name->text().endsWith(QChar(0x2026))) << name->text().toStdString();
        EXPECT_TRUE(fits(name));
        EXPECT_LE(name->mapTo(row, QPoint(name->width(), 0)).x(), row->width());
        EXPECT_EQ(row->toolTip(), longName);
        EXPECT_EQ(row->accessibleName(), longName);
    }

    QWidget parent;
    NewPluginsBanner banner(*offer, &parent);
    const auto* text = banner.findChild<ElidedLabel*>();
    ASSERT_NE(text, nullptr);
    const struct {
        const char* name;
        int width;
        bool shortened;
    } widths[] = {{"narrow", 520, true}, {"very narrow", 330, true}, {"wide enough", 2400, false}};
    for (const auto& w : widths) {
        SCOPED_TRACE(w.name);
        parent.resize(w.width, 60);
        banner.resize(w.width, 60);
        parent.show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(text->text().endsWith(QStringLiteral(" +1 more"))) << text->text().toStdString();
        EXPECT_EQ(text->text().contains(QChar(0x2026)), w.shortened) << text->text().toStdString();
        EXPECT_TRUE(fits(text));
        EXPECT_EQ(banner.text(), NewPluginsOffer::bannerText(offer->detectedNewPlugins()));
    }
}
