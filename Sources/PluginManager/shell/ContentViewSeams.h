#pragma once

#include "catalogue/PluginModels.h"
#include "operations/BulkAction.h"

#include <QList>

#include <functional>
#include <optional>

class PluginManagerViewModel;
class ProfileManager;
class Prompter;
struct PlatformServices;
class QDialog;
class QWidget;
class UADCleanupManager;

/// Where the sidebar, the content area, the onboarding sheet and the UAD clean-up sheet plug
/// into the root view. Each factory defaults to the real view; tests replace them.
namespace ContentViewSeams {

using FormatCallback = std::function<void(std::optional<PluginFormat>)>;
using BulkRequest = std::function<void(BulkAction, const QList<AudioPlugin>&)>;

struct Factories {
    /// The sidebar column (SidebarView).
    std::function<QWidget*(PluginManagerViewModel&, ProfileManager&, Prompter&, FormatCallback enableAll,
                           FormatCallback disableAll, QWidget* parent)>
        sidebar;
    /// The main content area (MainContentView), wired to the root view's bulk and reset callbacks.
    std::function<QWidget*(PluginManagerViewModel&, ProfileManager&, Prompter&, BulkRequest onBulkRequest,
                           std::function<void()> onReset, QWidget* parent)>
        mainContent;
    /// The onboarding sheet over the window's platform services: a dialog that closes itself
    /// when the user is done. Null = no onboarding to show.
    std::function<QDialog*(const PlatformServices&, QWidget* parent)> onboardingSheet;
    /// The UAD clean-up sheet's content (UADCleanupSheet), over the manager and the window's view model.
    std::function<QWidget*(UADCleanupManager&, PluginManagerViewModel&, QWidget* parent)> uadCleanupSheet;
};

/// The real views: what the composition root hands to the root view.
Factories defaults();

/// The defaults one by one, for tests that keep some of them.
QWidget* makeSidebarColumn(PluginManagerViewModel& viewModel, ProfileManager& profiles, Prompter& prompter,
                           FormatCallback enableAll, FormatCallback disableAll, QWidget* parent);
QWidget* makeMainContentArea(PluginManagerViewModel& viewModel, ProfileManager& profiles, Prompter& prompter,
                             BulkRequest onBulkRequest, std::function<void()> onReset, QWidget* parent);
QDialog* makeOnboardingSheet(const PlatformServices& services, QWidget* parent);
QWidget* makeUADCleanupSheetContent(UADCleanupManager& manager, PluginManagerViewModel& viewModel, QWidget* parent);

} // namespace ContentViewSeams
