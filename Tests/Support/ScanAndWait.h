#pragma once

#include "operations/PluginManagerViewModel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

/// Starts a scan and turns the event loop until its result is published. False when
/// it did not finish within the time given (a hung scan fails the test, it does not hang it).
inline bool scanAndWait(PluginManagerViewModel& model, int timeoutMs = 60000)
{
    bool finished = false;
    model.scanForPlugins([&finished] { finished = true; });
    const QDeadlineTimer deadline(timeoutMs);
    while (!finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return finished;
}

/// Lets the scan that the model queued for itself (after an operation it could not fully
/// record) start and run to its end.
inline bool settleQueuedScan(PluginManagerViewModel& model, int timeoutMs = 60000)
{
    QCoreApplication::processEvents();
    const QDeadlineTimer deadline(timeoutMs);
    while (model.isLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return !model.isLoading();
}
