#pragma once

#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "Platform/PlatformServices.h"
#include "Platform/testing/FakeFolderWatcher.h"
#include "Platform/testing/ManualClock.h"
#include "Platform/testing/RecordingApplicationLauncher.h"
#include "Platform/testing/RecordingNotificationCenter.h"
#include "Platform/testing/RecordingUserNotifier.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "Support/SandboxTest.h"

#include <QStringList>

#include <memory>

/// A helper delegate over sandbox folders with recording doubles for every service.
class HelperTest : public SandboxTest {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The doubles as services.
    PlatformServices services() const;
    /// A delegate over the doubles, or the given services (not started).
    std::unique_ptr<MenuBarAppDelegate> makeDelegate();
    std::unique_ptr<MenuBarAppDelegate> makeDelegate(const PlatformServices& with);
    /// makeDelegate() and its start-up.
    MenuBarAppDelegate& start();

    /// plugins.db in D with `enabled` enabled and `disabled` disabled rows.
    void writeCatalogue(int enabled, int disabled = 0);
    /// An empty bundle folder in R or H + the fixed path.
    void install(const QString& absoluteFolder, const QString& bundle, bool inHome = false);
    QString knownFile() const;

    /// The menu's titles, separators as "---".
    QStringList titles() const;
    /// The item with this title; fails the test when there is none.
    const MenuItemModel* item(const QString& title) const;

    std::shared_ptr<RecordingNotificationCenter> center = std::make_shared<RecordingNotificationCenter>();
    std::shared_ptr<RecordingUserNotifier> notifier = std::make_shared<RecordingUserNotifier>();
    std::shared_ptr<FakeFolderWatcher> watcher = std::make_shared<FakeFolderWatcher>();
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<RecordingApplicationLauncher> launcher = std::make_shared<RecordingApplicationLauncher>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::unique_ptr<MenuBarAppDelegate> delegate;
    int quits = 0;

private:
    QByteArray m_savedServer;
    QString m_savedVersion;
};
