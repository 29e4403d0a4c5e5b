#pragma once

#include <QString>

/// The helper's log: every line carries the prefix below, whichever layer wrote it.
namespace HelperLog {

inline constexpr auto kPrefix = "🔌 [Rackhand] ";

/// The line with the prefix in front, unless it already starts with it. The program's log sink
/// passes every line through this, so lines of the layers below get the prefix as well.
QString withPrefix(const QString& line);
/// Prints one line of the helper with the prefix.
void print(const QString& text);

} // namespace HelperLog
