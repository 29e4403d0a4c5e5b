#include "Platform/HiddenAttribute.h"

void setHiddenAttribute(const QString& path)
{
    // Nothing to set on Linux: hiding is a file-browser flag there is no equivalent of.
    Q_UNUSED(path);
}
