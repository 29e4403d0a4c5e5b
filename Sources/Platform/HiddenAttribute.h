#pragma once

#include <QString>

/// Marks a folder as hidden from the file browser (the macOS "chflags hidden" step).
/// Linux has no such flag, and dot-names would move the folder, so the Linux backend
/// does nothing and prints nothing. Never fails towards its caller.
void setHiddenAttribute(const QString& path);
