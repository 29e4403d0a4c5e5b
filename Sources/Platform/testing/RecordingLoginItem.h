#pragma once

#include "Platform/LoginItem.h"

#include <QStringList>

/// A login item that only records: registration flips `currentStatus` unless a
/// failure is set; running helpers are whatever the test lists.
class RecordingLoginItem final : public LoginItem {
public:
    Status currentStatus = Status::notRegistered;
    QString registerFailure;   // non-empty: registerItem() fails with it
    QString unregisterFailure; // non-empty: unregisterItem() fails with it
    QList<RunningHelper> running;
    bool launchSucceeds = true;
    /// A helper asked to quit leaves `running` at once, unless this is set.
    bool helpersIgnoreQuit = false;

    int registerCalls = 0;
    int unregisterCalls = 0;
    QList<qint64> quitRequests;
    QStringList launches;

    Status status() const override { return currentStatus; }
    QString registerItem() override;
    QString unregisterItem() override;
    QList<RunningHelper> runningHelpers() const override { return running; }
    void requestQuit(const RunningHelper& helper) override;
    bool launch(const QString& executablePath) override;
};
