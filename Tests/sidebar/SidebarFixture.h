#pragma once

#include "pluginlist/ViewModelFixture.h"
#include "sidebar/SidebarView.h"

#include <QApplication>
#include <QLabel>

#include <functional>
#include <memory>
#include <optional>

/// A prompter that runs a test's hook while a question is open (to change the world
/// between opening and answering) and records the proposed names of save panels.
class HookPrompter final : public Prompter {
public:
    std::function<void(const Alert&)> onAsk;
    QList<Alert> alerts;
    QList<int> nextAnswers;
    QList<std::optional<QString>> nextTexts;
    QList<std::optional<QString>> nextFiles;
    QStringList proposedNames;
    QList<TextRequest> textRequests;

    int ask(QWidget*, const Alert& alert) override
    {
        alerts.append(alert);
        if (onAsk)
            onAsk(alert);
        return nextAnswers.isEmpty() ? 0 : nextAnswers.takeFirst();
    }
    std::optional<QString> askText(QWidget*, const TextRequest& request) override
    {
        textRequests.append(request);
        return nextTexts.isEmpty() ? std::nullopt : nextTexts.takeFirst();
    }
    std::optional<QString> chooseOpenFile(QWidget*, const QString&, const QString&) override
    {
        return nextFiles.isEmpty() ? std::nullopt : nextFiles.takeFirst();
    }
    std::optional<QString> chooseSaveFile(QWidget*, const QString&, const QString& proposedName,
                                          const QString&) override
    {
        proposedNames.append(proposedName);
        return nextFiles.isEmpty() ? std::nullopt : nextFiles.takeFirst();
    }
};

/// The view-model world (ViewModelFixture.h) with a sidebar built on it.
class SidebarTest : public ViewModelTest {
protected:
    void TearDown() override
    {
        m_sidebar.reset();
        ViewModelTest::TearDown();
    }

    /// The sidebar, created on first use; its callbacks record their arguments.
    SidebarView& sidebar()
    {
        if (!m_sidebar) {
            m_sidebar = std::make_unique<SidebarView>(
                vm(), profiles(), prompter(), [this](std::optional<PluginFormat> f) { m_enableCalls.append(f); },
                [this](std::optional<PluginFormat> f) { m_disableCalls.append(f); });
            m_sidebar->resize(300, 900);
        }
        return *m_sidebar;
    }

    /// The texts of every label inside `root`, shown or not.
    static QStringList labelTexts(const QWidget* root)
    {
        QStringList texts;
        for (const QLabel* label : root->findChildren<QLabel*>())
            texts << label->text();
        return texts;
    }

    /// A record in R's plug-in folders (disabled ones in the central disabled folder);
    /// `onDisk` also creates its bundle.
    AudioPlugin plugin(const QString& name, PluginFormat format, bool enabled,
                       const QString& manufacturer = QStringLiteral("Acme"), bool onDisk = false)
    {
        AudioPlugin p = record(name, format, enabled, manufacturer);
        if (onDisk)
            makeBundle(p.currentPath);
        return p;
    }

    QList<std::optional<PluginFormat>> m_enableCalls;
    QList<std::optional<PluginFormat>> m_disableCalls;

private:
    std::unique_ptr<SidebarView> m_sidebar;
};
