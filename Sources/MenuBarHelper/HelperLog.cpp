#include "MenuBarHelper/HelperLog.h"

#include "Platform/Diagnostics.h"

namespace HelperLog {

QString withPrefix(const QString& line)
{
    const QString prefix = QString::fromUtf8(kPrefix);
    return line.startsWith(prefix) ? line : prefix + line;
}

void print(const QString& text)
{
    Diagnostics::print(withPrefix(text));
}

} // namespace HelperLog
