#pragma once

#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "Platform/testing/ManualClock.h"
#include "Support/SandboxTest.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <memory>

/// File work that fails where a test says, on top of the real operations.
class FaultyFiles final : public SnapshotFiles {
public:
    QString failMoveTo; // the next move whose destination path ends in "/" and this fails, once

    QString moveItem(const QString& from, const QString& to) override
    {
        if (!failMoveTo.isEmpty() && to.endsWith(u'/' + failMoveTo)) {
            failMoveTo.clear();
            return QStringLiteral("Could not move “%1”: injected failure").arg(fileName(from));
        }
        return SnapshotFiles::moveItem(from, to);
    }
};

/// A sandbox with a fixed clock (7 March 2025, 09:15:02 in the test's UTC zone) and file work
/// that tests can make fail.
class SnapshotStoreTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        clock = std::make_shared<ManualClock>(kNow);
        files = std::make_shared<FaultyFiles>();
    }

    /// Every entry below `folder` (hidden ones included) as "path=content", folders as "path/".
    static QStringList tree(const QString& folder);
    /// The names in `folder` that begin with ".".
    static QStringList hiddenNames(const QString& folder);
    static QStringList names(const QString& folder);

    static inline const QDateTime kNow{QDate(2025, 3, 7), QTime(9, 15, 2), QTimeZone::utc()};
    static inline const QString kNowText = QStringLiteral("2025-03-07_091502");

    std::shared_ptr<ManualClock> clock;
    std::shared_ptr<FaultyFiles> files;
};
