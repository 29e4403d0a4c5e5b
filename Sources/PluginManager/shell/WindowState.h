#pragma once

#include "catalogue/ProfileManager.h"
#include "operations/PluginManagerViewModel.h"
#include "shell/NewPluginsOffer.h"

#include <memory>
#include <utility>

class UADCleanupManager;
class UpdateChecker;

/// The main window's state objects. The composition root owns them and keeps them alive
/// longer than every view over them (the window, its sheets); members go in reverse
/// declaration order, so the offer goes before the profile store it reads.
struct WindowState {
    WindowState(std::unique_ptr<PluginManagerViewModel> pluginManagerIn, UpdateChecker& updateCheckerIn,
                std::unique_ptr<ProfileManager> profileManagerIn, UADCleanupManager& uadCleanupIn)
        : pluginManager(std::move(pluginManagerIn)), updateChecker(updateCheckerIn),
          profileManager(std::move(profileManagerIn)), uadCleanup(uadCleanupIn), newPlugins(*profileManager)
    {
        Q_ASSERT(pluginManager && profileManager);
    }

    std::unique_ptr<PluginManagerViewModel> pluginManager;
    UpdateChecker& updateChecker;
    std::unique_ptr<ProfileManager> profileManager;
    UADCleanupManager& uadCleanup;
    NewPluginsOffer newPlugins;
};
