#include "shell/ContentViewSeams.h"

#include "onboarding/OnboardingView.h"
#include "pluginlist/MainContentView.h"
#include "sidebar/SidebarView.h"
#include "uadcleanup/ui/UADCleanupSheet.h"

#include <QDialog>

namespace ContentViewSeams {

namespace {

Factories defaults()
{
    Factories f;
    f.sidebar = makeSidebarColumn;
    f.mainContent = makeMainContentArea;
    f.onboardingSheet = makeOnboardingSheet;
    f.uadCleanupSheet = makeUADCleanupSheetContent;
    return f;
}

} // namespace

Factories& factories()
{
    static Factories current = defaults();
    return current;
}

void resetFactories()
{
    factories() = defaults();
}

QWidget* makeSidebarColumn(PluginManagerViewModel& viewModel, ProfileManager& profiles, FormatCallback enableAll,
                           FormatCallback disableAll, QWidget* parent)
{
    return new SidebarView(viewModel, profiles, std::move(enableAll), std::move(disableAll), parent);
}

QWidget* makeMainContentArea(PluginManagerViewModel& viewModel, ProfileManager& profiles, BulkRequest onBulkRequest,
                             std::function<void()> onReset, QWidget* parent)
{
    auto* view = new MainContentView(viewModel, profiles, parent);
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
