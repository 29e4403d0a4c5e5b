#pragma once

#include "MenuBarHelper/snapshots/SnapshotCore.h"
#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "MenuBarHelper/snapshots/SnapshotRestore.h"
#include "Platform/Clock.h"

#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace SnapshotCore {
/// The system clock, for a default store.
std::shared_ptr<const Clock> defaultClock();

template <typename Store>
std::shared_ptr<Store>& sharedSlot()
{
    static std::shared_ptr<Store> instance;
    return instance;
}

/// The process-wide store of a kind: the one the helper's start-up installed, or one over the
/// system clock and the real file work, made on first use.
template <typename Store>
Store& sharedStore()
{
    auto& slot = sharedSlot<Store>();
    if (!slot)
        slot = std::make_shared<Store>(defaultClock(), std::make_shared<SnapshotFiles>());
    return *slot;
}
} // namespace SnapshotCore

/// What every store shares: its clock and file work, and the process-wide `shared()` instance
/// that the helper's start-up fills (nothing below it reads that; the stores are handed down).
template <typename Store, typename Snapshot, typename Error>
class SnapshotStore {
public:
    SnapshotStore(std::shared_ptr<const Clock> clock, std::shared_ptr<SnapshotFiles> fm)
        : m_clock(std::move(clock)), m_fm(std::move(fm))
    {
    }

    /// The process-wide store: the installed one, or one over the system clock.
    static Store& shared() { return SnapshotCore::sharedStore<Store>(); }
    static void setShared(std::shared_ptr<Store> store) { SnapshotCore::sharedSlot<Store>() = std::move(store); }

    /// Removes the snapshot's folder; a failure is the file work's own, passed on.
    [[nodiscard]] std::optional<Error> deleteSnapshot(const Snapshot& snapshot) const
    {
        sweepLeftovers();
        if (QString reason = m_fm->removeItem(snapshot.path()); !reason.isEmpty())
            return Error{Error::Case::fileManager, reason};
        return std::nullopt;
    }

    /// At start-up: finishes or undoes each restore that was cut off, then removes what cut-off
    /// work left behind. Says what became of each restore.
    std::vector<SnapshotCore::RecoveredRestore> recoverInterruptedRestores() const
    {
        const auto places = static_cast<const Store*>(this)->leftoverPlaces();
        auto recovered = SnapshotCore::recoverRestores(*m_fm, places);
        SnapshotCore::sweepLeftovers(*m_fm, places);
        return recovered;
    }

    static QString formattedSize(qint64 bytes) { return SnapshotCore::formattedSize(bytes); }

protected:
    /// Before each operation: staging copies and empty backup folders of work cut off earlier go.
    void sweepLeftovers() const
    {
        SnapshotCore::sweepLeftovers(*m_fm, static_cast<const Store*>(this)->leftoverPlaces());
    }

    /// Where a snapshot taken now goes: root/<time text>, with "_" and the cleaned label when it has one.
    QString newFolderPath(const QString& root, const QString& cleanedLabel) const
    {
        return root + u'/' + SnapshotCore::folderName(SnapshotCore::timeText(m_clock->now()), cleanedLabel);
    }

    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<SnapshotFiles> m_fm;
};
