#include "SidebarPrompts.h"

#include "PluginManagerViewModel.h"
#include "Prompter.h"

namespace SidebarPrompts {

bool refuseWhileRunning(QWidget* parent, const PluginManagerViewModel& viewModel)
{
    if (!viewModel.isOperationRunning())
        return false;
    Prompts::inform(parent, QStringLiteral("Operation in Progress"),
                    QStringLiteral("Another operation is still running. Try again when it has finished."));
    return true;
}

} // namespace SidebarPrompts
