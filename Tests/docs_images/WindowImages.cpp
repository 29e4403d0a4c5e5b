#include "operations/PluginManagerViewModel.h"
#include "shell/AppDelegate.h"
#include "shell/ContentView.h"
#include "widgets/Prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

// Takes a picture of the real window over whatever tree the environment points at
// (scripts/make-demo-tree). Runs only when RACKHAND_WINDOW_SCREENSHOT names the file.
TEST(WindowScreenshot, RealWindowOverTheDemoTree)
{
    const QString target = qEnvironmentVariable("RACKHAND_WINDOW_SCREENSHOT");
    if (target.isEmpty())
        GTEST_SKIP() << "set RACKHAND_WINDOW_SCREENSHOT to a .png path";
    QCoreApplication::setApplicationVersion(QStringLiteral(RACKHAND_VERSION));
    AppDelegate delegate(Platform::services(), Prompts::makeDialogPrompter());
    delegate.applicationDidFinishLaunching();
    auto* content = qobject_cast<ContentView*>(delegate.window()->centralWidget());
    ASSERT_NE(content, nullptr);
    QSignalSpy scanned(content, &ContentView::startupSequenceFinished);
    ASSERT_TRUE(scanned.wait(30000));
    PluginManagerViewModel& model = content->pluginManager();
    model.setShowAllPlugins(true); // as after a click on "All Plugins"
    // A format filter in the sidebar and a few rows collected into the bulk panel.
    model.setSelectedFormats({PluginFormat::vst3});
    QSet<QUuid> picked;
    for (const AudioPlugin& plugin : model.displayedPlugins()) {
        if (picked.size() == 4)
            break;
        if (!plugin.name.isEmpty() && plugin.name.at(0).isLetter())
            picked.insert(plugin.id);
    }
    model.setSelectedPlugins(picked);
    model.syncSelectionDelta(picked, {});
    QTest::qWait(800); // banners slide in, update check gives up
    QDir().mkpath(QFileInfo(target).absolutePath());
    ASSERT_TRUE(delegate.window()->grab().save(target));
}
