#pragma once

#include "catalogue/PluginModels.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

/// The user's selection and the bulk pane built from it: the catalogue ids selected
/// across pages and filters, the visible part the table shows, the selected plug-ins
/// grouped by name with their format variants, and which variants a bulk action takes.
/// Plain state: the view model publishes each change.
class BulkSelection final {
public:
    /// Kept across pages and filters.
    QSet<QUuid> persisted;
    /// The table's selection: only the visible part of `persisted`.
    QSet<QUuid> visible;

    const QList<ConsolidatedPlugin>& consolidated() const { return m_consolidated; }
    const QSet<QUuid>& activeVariants() const { return m_activeVariants; }

    /// Regroups the selected rows by name (case-insensitive name order, variants by badge
    /// label); every variant except those in `inactive` is active afterwards.
    void rebuildBulkPane(QList<AudioPlugin> selectedRows, const QSet<QUuid>& inactive = {});
    /// A rescan gives every row a new id: keeps only the selected ids that `newIds` maps (to
    /// the id the same plug-in has now), under their new ids. Returns the new ids of the
    /// variants that were switched off, for the rebuild of the pane.
    QSet<QUuid> followNewIds(const QHash<QUuid, QUuid>& newIds);
    /// Empties the pane (not the selection).
    void clearBulkPane();

    void toggleVariant(const QUuid& id);
    /// The formats present in the pane, in raw-value order.
    QList<PluginFormat> formats() const;
    bool isFormatFullyActive(PluginFormat format) const;
    bool isFormatPartiallyActive(PluginFormat format) const;
    /// Deactivates every variant of the format when all are active, else activates all.
    /// False when the pane holds none of that format.
    bool toggleFormat(PluginFormat format);
    /// The selected rows whose variant is active, in name order.
    QList<AudioPlugin> actionPlugins(const QList<AudioPlugin>& selectedRows) const;

    /// Name order of the bulk pane and bulk actions: case-insensitive, locale-aware, stable.
    static void sortByNameOrder(QList<AudioPlugin>& plugins);

private:
    QList<QUuid> variantIdsOfFormat(PluginFormat format) const;

    QList<ConsolidatedPlugin> m_consolidated;
    QSet<QUuid> m_activeVariants;
};
