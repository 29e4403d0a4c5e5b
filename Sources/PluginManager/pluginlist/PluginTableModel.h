#pragma once

#include "operations/PluginManagerViewModel.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

#include <optional>

/// The rows of the plug-in table: the view model's loaded page list (or, while a profile
/// is previewed, its filtered preview list). The model never sorts or filters: a header
/// sort goes to the view model, which reloads. Reloads keep rows whose ids stay in
/// place, so a toggle refreshes one row instead of resetting the table.
class PluginTableModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PluginTableModel)
public:
    enum Column { statusColumn, nameColumn, manufacturerColumn, formatColumn, versionColumn, lastUsedColumn };
    enum Role {
        pluginIdRole = Qt::UserRole + 1,
        enabledRole,
        formatRole,          // int(PluginFormat)
        previewStatusRole,   // int(PreviewStatus)
        willChangeRole,      // bool
        hasManufacturerRole, // bool
    };
    /// What applying the previewed profile would do to a row.
    enum class PreviewStatus { none, willEnable, willDisable, enabled, disabled };

    explicit PluginTableModel(PluginManagerViewModel& viewModel, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// Hands the column's key to the view model; the rows arrive with its reload.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    bool isPreviewMode() const { return m_preview; }
    const QList<AudioPlugin>& rows() const { return m_rows; }
    const AudioPlugin* pluginAt(int row) const;
    /// -1 when the id is not a row.
    int rowOf(const QUuid& id) const;
    /// True while the model is changing its rows (selection updates are ignored then).
    bool isSyncing() const { return m_syncing; }

    static PluginSortKey sortKey(int column);
    /// -1 when no column of the mode sorts by the key.
    int columnOf(PluginSortKey key) const;
    /// The same rule as the profile's change list and Apply: a wanted key is satisfied
    /// once any plug-in with that key is enabled (`enabledKeys`, of every plug-in).
    static PreviewStatus previewStatus(const std::optional<PluginProfile>& profile, const AudioPlugin& plugin,
                                       const QSet<QString>& enabledKeys);
    static QString previewStatusText(PreviewStatus status);
    static QString columnTitle(int column);

public Q_SLOTS:
    /// Re-reads the rows from the view model, changing as little as possible.
    void reload();

Q_SIGNALS:
    /// After every change of the rows (reset, insert, remove or row update).
    void rowsSynced();

private:
    void appendFrom(int firstNewRow);
    void rebuildIndex(int fromRow);
    static bool sameContent(const AudioPlugin& a, const AudioPlugin& b);

    PluginManagerViewModel& m_viewModel;
    QList<AudioPlugin> m_rows;
    QHash<QUuid, int> m_rowOfId;
    /// ProfileManager::enabledKeys of the view model's plug-ins, while previewing.
    QSet<QString> m_enabledKeys;
    bool m_preview = false;
    bool m_syncing = false;
};
