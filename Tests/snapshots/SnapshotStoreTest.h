#pragma once

#include "MenuBarHelper/snapshots/DAWPrefsMenus.h"
#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "Platform/testing/ManualClock.h"
#include "Support/SandboxTest.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <memory>
#include <ostream>

/// Thrown where a test stops the file work, as the end of the process would: nothing after it
/// runs, no undo included.
struct Stopped {};

/// File work that fails or stops where a test says, on top of the real operations.
class FaultyFiles final : public SnapshotFiles {
public:
    /// Each move whose destination path ends in "/" and one of these fails, once per entry.
    QStringList failMoveTo;
    /// Stops before the change of this number (from 0), counting the changes of kind `stopOn`
    /// ("copy", "move", "exchange", "remove", "rmdir", "mkdir", "write"; empty: every change).
    int stopAt = -1;
    QString stopOn;
    int changes = 0; // the changes counted so far

    QString copyItem(const QString& from, const QString& to) override
    {
        step(QStringLiteral("copy"));
        return SnapshotFiles::copyItem(from, to);
    }
    QString moveItem(const QString& from, const QString& to) override
    {
        step(QStringLiteral("move"));
        for (qsizetype i = 0; i < failMoveTo.size(); ++i) {
            if (!failMoveTo[i].isEmpty() && to.endsWith(u'/' + failMoveTo[i])) {
                failMoveTo.removeAt(i);
                return QStringLiteral("Could not move “%1”: injected failure").arg(fileName(from));
            }
        }
        return SnapshotFiles::moveItem(from, to);
    }
    QString exchangeItems(const QString& first, const QString& second) override
    {
        step(QStringLiteral("exchange"));
        return SnapshotFiles::exchangeItems(first, second);
    }
    QString removeItem(const QString& path) override
    {
        step(QStringLiteral("remove"));
        return SnapshotFiles::removeItem(path);
    }
    QString removeEmptyFolder(const QString& path) override
    {
        step(QStringLiteral("rmdir"));
        return SnapshotFiles::removeEmptyFolder(path);
    }
    QString makePath(const QString& path) override
    {
        step(QStringLiteral("mkdir"));
        return SnapshotFiles::makePath(path);
    }
    QString writeFile(const QString& path, const QByteArray& bytes) override
    {
        step(QStringLiteral("write"));
        return SnapshotFiles::writeFile(path, bytes);
    }

private:
    void step(const QString& kind)
    {
        if (!stopOn.isEmpty() && kind != stopOn)
            return;
        if (changes++ == stopAt) {
            stopAt = -1;
            throw Stopped{};
        }
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
    void TearDown() override;

    /// The three stores over the fixed clock and `work`, as the helper's start-up builds them.
    SnapshotStores storesOver(const std::shared_ptr<SnapshotFiles>& work) const;

    /// Every entry below `folder` (hidden ones included) as "path=content", folders as "path/".
    static QStringList tree(const QString& folder);
    /// The names in `folder` that begin with ".".
    static QStringList hiddenNames(const QString& folder);
    static QStringList names(const QString& folder);
    /// Every entry below `folder`, read as raw bytes so that names of any encoding show: files as
    /// "path=content", folders as "path/", links as "path->target"; sorted. With `metadata`, each
    /// entry also carries its mode and modification time.
    static QList<QByteArray> rawTree(const QString& folder, bool metadata = false);
    /// Writes a file whose path is raw bytes, making its missing parents.
    static void writeRaw(const QByteArray& path, const QByteArray& bytes);
    /// Sets an entry's access and modification times (a link's own, not its target's).
    static void setModificationTime(const QString& path, qint64 secondsSinceEpoch);

    static inline const QDateTime kNow{QDate(2025, 3, 7), QTime(9, 15, 2), QTimeZone::utc()};
    static inline const QString kNowText = QStringLiteral("2025-03-07_091502");

    std::shared_ptr<ManualClock> clock;
    std::shared_ptr<FaultyFiles> files;
};

// Byte texts in gtest messages as text, with the bytes that are not printable ASCII escaped.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (const char c : bytes) {
        if (c >= 0x20 && c < 0x7f)
            *os << c;
        else
            *os << "\\x"
                << "0123456789abcdef"[(c >> 4) & 0xf] << "0123456789abcdef"[c & 0xf];
    }
    *os << '"';
}
QT_END_NAMESPACE
