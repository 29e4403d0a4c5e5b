#pragma once

#include "pluginlist/MainContentView.h"
#include "pluginlist/PluginListFixture.h"

#include <QTest>

#include <memory>

/// The plug-in list world (PluginListFixture.h) with the whole content column built on it.
class MainContentViewTest : public PluginListTest {
protected:
    MainContentView& content()
    {
        if (!m_content) {
            m_content = std::make_unique<MainContentView>(vm(), profiles(), prompter());
            m_content->resize(1000, 760);
            m_content->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(m_content.get()));
        }
        return *m_content;
    }
    void TearDown() override
    {
        m_content.reset();
        PluginListTest::TearDown();
    }
    PluginProfile profileEnabling(const QList<AudioPlugin>& plugins)
    {
        PluginProfile profile;
        profile.id = QUuid::createUuid();
        profile.name = QStringLiteral("Mixing");
        for (const AudioPlugin& p : plugins)
            profile.enabledPlugins.insert(p.key());
        return profile;
    }

    std::unique_ptr<MainContentView> m_content;
};
