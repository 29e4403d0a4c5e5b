#include "SidebarPrompts.h"

#include "PluginManagerViewModel.h"
#include "Prompter.h"

namespace SidebarPrompts {

bool refuseWhileRunning(QWidget* parent, const PluginManagerViewModel& viewModel)
{
    if (!viewModel.isOperationRunning())
        return false;
    showMessage(parent, QStringLiteral("Operation in Progress"),
                QStringLiteral("Another operation is still running. Try again when it has finished."));
    return true;
}

void showMessage(QWidget* parent, const QString& title, const QString& message)
{
    Prompts::current().ask(parent, {title, message, {{QStringLiteral("OK"), Prompter::Role::cancel}}});
}

} // namespace SidebarPrompts
