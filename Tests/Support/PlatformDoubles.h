#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/PrivilegedRunner.h"
#include "Platform/testing/FakeFolderWatcher.h"
#include "Platform/testing/ManualClock.h"
#include "Platform/testing/MemoryDefaultsStore.h"
#include "Platform/testing/RecordingApplicationLauncher.h"
#include "Platform/testing/RecordingLoginItem.h"
#include "Platform/testing/RecordingNotificationCenter.h"
#include "Platform/testing/RecordingProcessLauncher.h"
#include "Platform/testing/RecordingRunner.h"
#include "Platform/testing/RecordingUserNotifier.h"
#include "Platform/testing/RecordingWorkspace.h"
#include "Platform/testing/SandboxRunner.h"
#include "Platform/testing/ScriptedUADControlPanel.h"
#include "Platform/testing/SettableDiskAccessProbe.h"

#include <memory>

/// Hands commands to whichever runner the test picked last.
class SwitchableRunner final : public PrivilegedRunner {
public:
    std::shared_ptr<PrivilegedRunner> target;
    Result run(const QString& shellCommand) override { return target->run(shellCommand); }
};

/// Every platform service as a test double, assembled in one place. Commands go to the
/// recording runner (texts, queued answers) until a test picks the sandbox runner (commands
/// really run, unprivileged, inside R).
struct PlatformDoubles {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<RecordingRunner> recorder = std::make_shared<RecordingRunner>();
    std::shared_ptr<SandboxRunner> sandboxRunner = std::make_shared<SandboxRunner>();
    std::shared_ptr<SwitchableRunner> runner = [this] {
        auto switchable = std::make_shared<SwitchableRunner>();
        switchable->target = recorder;
        return switchable;
    }();
    std::shared_ptr<RecordingNotificationCenter> notifications = std::make_shared<RecordingNotificationCenter>();
    std::shared_ptr<MemoryDefaultsStore> defaults = std::make_shared<MemoryDefaultsStore>();
    std::shared_ptr<RecordingProcessLauncher> launcher = std::make_shared<RecordingProcessLauncher>();
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<RecordingLoginItem> loginItem = std::make_shared<RecordingLoginItem>();
    /// Access missing until a test grants it.
    std::shared_ptr<SettableDiskAccessProbe> diskAccess = std::make_shared<SettableDiskAccessProbe>(false);
    /// Installed, and its exports write nothing until a test scripts one.
    std::shared_ptr<ScriptedUADControlPanel> uadControlPanel = std::make_shared<ScriptedUADControlPanel>();
    // The tray helper's services.
    std::shared_ptr<RecordingUserNotifier> userNotifier = std::make_shared<RecordingUserNotifier>();
    std::shared_ptr<FakeFolderWatcher> folderWatcher = std::make_shared<FakeFolderWatcher>();
    std::shared_ptr<RecordingApplicationLauncher> applicationLauncher =
        std::make_shared<RecordingApplicationLauncher>();

    void useRecordingRunner() { runner->target = recorder; }
    void useSandboxRunner() { runner->target = sandboxRunner; }

    PlatformServices services() const
    {
        PlatformServices s;
        s.privilegedRunner = runner;
        s.notificationCenter = notifications;
        s.defaults = defaults;
        s.processLauncher = launcher;
        s.workspace = workspace;
        s.clock = clock;
        s.loginItem = loginItem;
        s.diskAccess = diskAccess;
        s.uadControlPanel = uadControlPanel;
        s.userNotifier = userNotifier;
        s.folderWatcher = folderWatcher;
        s.applicationLauncher = applicationLauncher;
        return s;
    }
};
