#include "Platform/linux/AbsentUADControlPanel.h"

QString AbsentUADControlPanel::requestExport()
{
    return QStringLiteral("the UAD control panel is not available on this system");
}
