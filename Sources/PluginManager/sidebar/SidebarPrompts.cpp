#include "sidebar/SidebarPrompts.h"

#include "operations/PluginManagerViewModel.h"
#include "widgets/Prompter.h"

namespace SidebarPrompts {

bool refuseWhileRunning(Prompter& prompter, QWidget* parent, const PluginManagerViewModel& viewModel)
{
    if (!viewModel.isOperationRunning())
        return false;
    prompter.inform(parent, QStringLiteral("Operation in Progress"),
                    QStringLiteral("Another operation is still running. Try again when it has finished."));
    return true;
}

} // namespace SidebarPrompts
