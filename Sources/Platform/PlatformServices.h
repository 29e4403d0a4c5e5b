#pragma once

#include <memory>

class ApplicationLauncher;
class Clock;
class DefaultsStore;
class DiskAccessProbe;
class FolderWatcher;
class LoginItem;
class NotificationCenter;
class PrivilegedRunner;
class ProcessLauncher;
class UADControlPanel;
class UserNotifier;
class Workspace;

/// The platform services the program uses, passed to the objects that need them.
struct PlatformServices {
    std::shared_ptr<PrivilegedRunner> privilegedRunner;
    std::shared_ptr<NotificationCenter> notificationCenter;
    std::shared_ptr<DefaultsStore> defaults;
    std::shared_ptr<ProcessLauncher> processLauncher;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<UADControlPanel> uadControlPanel;
    std::shared_ptr<DiskAccessProbe> diskAccess;
    std::shared_ptr<UserNotifier> userNotifier;
    std::shared_ptr<FolderWatcher> folderWatcher;
    std::shared_ptr<ApplicationLauncher> applicationLauncher;
    /// The menu-bar helper's login item.
    std::shared_ptr<LoginItem> loginItem;
};

namespace Platform {
/// The Linux backends. The only place that names them.
PlatformServices createDefaultServices();
/// The services in force: createDefaultServices() until a test or the program sets others.
const PlatformServices& services();
void setServices(PlatformServices services);
} // namespace Platform
