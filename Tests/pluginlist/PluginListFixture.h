#pragma once

#include "pluginlist/ViewModelFixture.h"

#include <QTest>

/// The view-model world (ViewModelFixture.h) whose recorded commands also really run
/// inside R, with records that have their bundles on disk.
class PluginListTest : public ViewModelTest {
protected:
    void SetUp() override
    {
        ViewModelTest::SetUp();
        // Commands are recorded and then really run (unprivileged, inside R).
        m_runner->setOnRun([sandbox = m_sandboxRunner](const QString& command) { sandbox->run(command); });
    }

    /// An enabled or disabled record under R's plug-in folders, with its bundle.
    AudioPlugin plugin(const QString& name, PluginFormat format = PluginFormat::vst3, bool enabled = true,
                       const QString& manufacturer = QStringLiteral("Acme"))
    {
        AudioPlugin p = record(name, format, enabled, manufacturer);
        p.version = QStringLiteral("1.0");
        makeBundle(p.currentPath); // operations check that the bundle is there
        return p;
    }

    /// `count` plug-ins named "Plugin 0001"... (sorted by name as numbered).
    QList<AudioPlugin> numbered(int count, PluginFormat format = PluginFormat::vst3, bool enabled = true)
    {
        QList<AudioPlugin> list;
        for (int i = 1; i <= count; ++i)
            list.append(plugin(QStringLiteral("Plugin %1").arg(i, 4, 10, QLatin1Char('0')), format, enabled));
        return list;
    }

    /// Lets queued work (toggles started from clicks, the 50 ms search reload) run.
    static void settle(int ms = 0)
    {
        if (ms > 0)
            QTest::qWait(ms);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};
