#pragma once

#include <QString>

class PluginManagerViewModel;
class Prompter;
class QWidget;

/// Small questions the sidebar's sections share, asked through the window's prompter.
namespace SidebarPrompts {
/// True (after telling the user) when another operation still runs, so the caller
/// must not start one.
bool refuseWhileRunning(Prompter& prompter, QWidget* parent, const PluginManagerViewModel& viewModel);
} // namespace SidebarPrompts
