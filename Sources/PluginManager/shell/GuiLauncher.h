#pragma once

#include <QString>

class Prompter;

/// Starts the desktop application: creates the QApplication from the process
/// arguments, opens the main window and runs the event loop until the application
/// quits (closing the main window quits it). Returns the loop's exit status.
int launchGui(int argc, char** argv);

/// Says that another Rackhand (of another session, or without a session bus) holds the data
/// folder `dataFolder`: on standard error, and in an alert when the window system shows one.
void tellAlreadyRunning(const QString& dataFolder, Prompter& prompter, bool displayShown);
