#pragma once

#include <QString>

#include <functional>

/// Diagnostics go to standard output, one line per message, flushed at once,
/// so a user running the program from a terminal sees them in order.
namespace Diagnostics {

void print(const QString& line);

/// Tests capture the lines instead of writing them; pass an empty function to restore stdout.
void setSink(std::function<void(const QString&)> sink);

} // namespace Diagnostics
