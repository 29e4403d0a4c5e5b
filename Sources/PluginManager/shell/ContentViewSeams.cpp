#include "shell/ContentViewSeams.h"

#include "onboarding/OnboardingView.h"
#include "pluginlist/MainContentView.h"
#include "sidebar/SidebarView.h"
#include "uadcleanup/ui/UADCleanupSheet.h"

#include <QDialog>

namespace ContentViewSeams {

Factories defaults()
{
    Factories f;
    f.sidebar = makeSidebarColumn;
    f.mainContent = makeMainContentArea;
    f.onboardingSheet = makeOnboardingSheet;
    f.uadCleanupSheet = makeUADCleanupSheetContent;
    return f;
}

QWidget* makeSidebarColumn(PluginManagerViewModel& viewModel, ProfileManager& profiles, Prompter& prompter,
                           FormatCallback enableAll, FormatCallback disableAll, QWidget* parent)
{
    return new SidebarView(viewModel, profiles, prompter, std::move(enableAll), std::move(disableAll), parent);
}

QWidget* makeMainContentArea(PluginManagerViewModel& viewModel, ProfileManager& profiles, Prompter& prompter,
                             BulkRequest onBulkRequest, std::function<void()> onReset, QWidget* parent)
{
    auto* view = new MainContentView(viewModel, profiles, prompter, parent);
    QObject::connect(view, &MainContentView::bulkConfirmationRequested, view,
                     [onBulkRequest = std::move(onBulkRequest)](BulkAction action, const QList<AudioPlugin>& plugins) {
                         if (onBulkRequest)
                             onBulkRequest(action, plugins);
                     });
    QObject::connect(view, &MainContentView::resetTapped, view, [onReset = std::move(onReset)] {
        if (onReset)
            onReset();
    });
    return view;
}

QDialog* makeOnboardingSheet(const PlatformServices& services, QWidget* parent)
{
    return new OnboardingView(services, parent);
}

QWidget* makeUADCleanupSheetContent(UADCleanupManager& manager, PluginManagerViewModel& viewModel, QWidget* parent)
{
    return new UADCleanupSheet(manager, viewModel, parent);
}

} // namespace ContentViewSeams
