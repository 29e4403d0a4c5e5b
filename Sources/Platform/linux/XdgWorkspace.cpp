#include "Platform/linux/XdgWorkspace.h"

#include <QDesktopServices>

bool XdgWorkspace::openUrl(const QUrl& url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}
