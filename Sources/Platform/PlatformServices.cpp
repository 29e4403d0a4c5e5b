#include "Platform/PlatformServices.h"

#include "Platform/Clock.h"
#include "Platform/MenuBarLoginItem.h"
#include "Platform/linux/AbsentUADControlPanel.h"
#include "Platform/linux/DBusNotificationCenter.h"
#include "Platform/linux/FolderListingProbe.h"
#include "Platform/linux/FreedesktopNotifier.h"
#include "Platform/linux/InotifyFolderWatcher.h"
#include "Platform/linux/LinuxProcessLauncher.h"
#include "Platform/linux/PkexecRunner.h"
#include "Platform/linux/SettingsDefaultsStore.h"
#include "Platform/linux/XdgApplicationLauncher.h"
#include "Platform/linux/XdgAutostartLoginItem.h"
#include "Platform/linux/XdgWorkspace.h"

#include <optional>

namespace Platform {

namespace {
std::optional<PlatformServices>& current()
{
    static std::optional<PlatformServices> services;
    return services;
}
} // namespace

PlatformServices createDefaultServices()
{
    PlatformServices services;
    services.privilegedRunner = std::make_shared<PkexecRunner>();
    services.notificationCenter = std::make_shared<DBusNotificationCenter>();
    services.defaults = std::make_shared<SettingsDefaultsStore>();
    services.processLauncher = std::make_shared<LinuxProcessLauncher>();
    services.workspace = std::make_shared<XdgWorkspace>();
    services.clock = std::make_shared<SystemClock>();
    services.uadControlPanel = std::make_shared<AbsentUADControlPanel>();
    services.diskAccess = std::make_shared<FolderListingProbe>();
    services.userNotifier = std::make_shared<FreedesktopNotifier>();
    services.folderWatcher = std::make_shared<InotifyFolderWatcher>();
    services.applicationLauncher = std::make_shared<XdgApplicationLauncher>();
    services.loginItem = std::make_shared<XdgAutostartLoginItem>(
        QString::fromLatin1(MenuBarLoginItem::kIdentifier), MenuBarLoginItem::helperPath(),
        QString::fromLatin1(MenuBarLoginItem::kExecutableName));
    return services;
}

const PlatformServices& services()
{
    auto& stored = current();
    if (!stored)
        stored = createDefaultServices();
    return *stored;
}

void setServices(PlatformServices services)
{
    current() = std::move(services);
}

} // namespace Platform
