#include "shell/GuiLauncher.h"
#include "shell/cli/PluginManagerCommand.h"

#include <iostream>

// Parse first: cli-command prints its report without any Qt application object
// (the report needs none), and only gui-command creates the QApplication.
int main(int argc, char** argv)
{
    return runCommandLine(argc, argv, std::cout, std::cerr, [argc, argv] { return launchGui(argc, argv); });
}
