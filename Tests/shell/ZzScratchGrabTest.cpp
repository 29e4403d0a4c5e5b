// Temporary: renders real views into PNGs for a visual check.
#include "ShellFixture.h"
#include "MainContentView.h"
#include "SidebarView.h"
#include "GlassStyle.h"
#include "AppTheme.h"
#include <QLabel>
#include <QVBoxLayout>
#include <QTest>

TEST_F(ShellTest, ZzScratchGrab)
{
    if (qEnvironmentVariable("R5GRAB").isEmpty())
        GTEST_SKIP();
    QList<AudioPlugin> all;
    for (int i = 0; i < 14; ++i) {
        AudioPlugin p = record(QStringLiteral("Plugin %1").arg(i), i % 3 ? PluginFormat::vst3 : PluginFormat::au,
                               QStringLiteral("/Library/Audio/Plug-Ins/VST3/P%1.vst3").arg(i), i % 4 != 0);
        p.manufacturer = i % 2 ? "FabFilter" : "Waves";
        all.append(p);
    }
    db().replaceAllPlugins(all);
    PluginManagerViewModel vm(db(), ActivityLogManager::shared(), services());
    vm.refreshAllState();
    vm.setShowAllPlugins(true);
    ProfileManager pm(nullptr, clock);
    pm.saveProfile("Live", {});
    MainContentView main(vm, pm);
    main.resize(950, 700);
    main.show();
    QTest::qWait(300);
    main.grab().save("/tmp/r5/main.png");
    // select a few rows for the bulk panel
    QSet<QUuid> sel;
    for (int i = 0; i < 3; ++i) sel.insert(vm.plugins()[i].id);
    vm.syncSelectionDelta(sel, {});
    QTest::qWait(300);
    main.grab().save("/tmp/r5/main_bulk.png");
    SidebarView side(vm, pm, [](std::optional<PluginFormat>) {}, [](std::optional<PluginFormat>) {});
    side.resize(260, 900);
    side.show();
    QTest::qWait(300);
    side.grab().save("/tmp/r5/side.png");

    QWidget cards;
    auto* l = new QVBoxLayout(&cards);
    l->addWidget(liquidGlassCard(new QLabel("card r12"), 12));
    l->addWidget(liquidGlassCard(new QLabel("card r0"), 0));
    l->addWidget(liquidGlassConditional(new QLabel("cond off r6"), false, AppTheme::accentBlue(), 6));
    l->addWidget(liquidGlassConditional(new QLabel("cond on r6"), true, AppTheme::accentBlue(), 6));
    l->addWidget(liquidGlassTinted(new QLabel("tinted r8"), AppTheme::accentPink(), 8));
    auto* r = new SidebarItemButton("Sidebar row"); l->addWidget(r);
    auto* r2 = new SidebarItemButton("Selected row"); r2->setSelected(true); l->addWidget(r2);
    l->addWidget(new PurplePressButton("Purple press"));
    cards.resize(300, 360);
    cards.show();
    QTest::qWait(100);
    cards.grab().save("/tmp/r5/cards.png"); { QImage im = cards.grab().toImage(); im.copy(0,0,300,120).scaled(900,360).save("/tmp/r5/cards_zoom.png"); }
}
