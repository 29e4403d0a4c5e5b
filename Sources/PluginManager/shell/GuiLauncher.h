#pragma once

/// Starts the desktop application: creates the QApplication from the process
/// arguments, opens the main window and runs the event loop until the application
/// quits (closing the main window quits it). Returns the loop's exit status.
int launchGui(int argc, char** argv);
