#include "Platform/testing/RecordingLoginItem.h"

QString RecordingLoginItem::registerItem()
{
    ++registerCalls;
    if (!registerFailure.isEmpty())
        return registerFailure;
    currentStatus = Status::enabled;
    return {};
}

QString RecordingLoginItem::unregisterItem()
{
    ++unregisterCalls;
    if (!unregisterFailure.isEmpty())
        return unregisterFailure;
    currentStatus = Status::notRegistered;
    return {};
}

bool RecordingLoginItem::launch(const QString& executablePath)
{
    launches.append(executablePath);
    return launchSucceeds;
}

void RecordingLoginItem::requestQuit(const RunningHelper& helper)
{
    quitRequests.append(helper.pid);
    if (!helpersIgnoreQuit)
        running.removeIf([&helper](const RunningHelper& each) { return each.pid == helper.pid; });
}
