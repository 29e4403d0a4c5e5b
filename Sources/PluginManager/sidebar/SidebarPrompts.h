#pragma once

#include <QString>

class PluginManagerViewModel;
class QWidget;

/// Small questions the sidebar's sections share; all go through Prompts::current().
namespace SidebarPrompts {
/// True (after telling the user) when another operation still runs, so the caller
/// must not start one.
bool refuseWhileRunning(QWidget* parent, const PluginManagerViewModel& viewModel);
} // namespace SidebarPrompts
