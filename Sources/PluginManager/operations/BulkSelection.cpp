#include "operations/BulkSelection.h"

#include <QCollator>
#include <QHash>

#include <algorithm>

void BulkSelection::sortByNameOrder(QList<AudioPlugin>& plugins)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(plugins.begin(), plugins.end(), [&collator](const AudioPlugin& a, const AudioPlugin& b) {
        return collator.compare(a.name, b.name) < 0;
    });
}

void BulkSelection::rebuildBulkPane(QList<AudioPlugin> selectedRows, const QSet<QUuid>& inactive)
{
    sortByNameOrder(selectedRows);
    QList<ConsolidatedPlugin> consolidated;
    QHash<QString, qsizetype> groupOfName;
    for (const AudioPlugin& plugin : std::as_const(selectedRows)) {
        auto it = groupOfName.constFind(plugin.name);
        if (it == groupOfName.constEnd()) {
            it = groupOfName.insert(plugin.name, consolidated.size());
            consolidated.append(ConsolidatedPlugin{plugin.name, {}});
        }
        consolidated[*it].variants.append(
            ConsolidatedPlugin::FormatVariant{plugin.id, plugin.format, plugin.isEnabled, plugin.version});
    }
    QSet<QUuid> active;
    for (ConsolidatedPlugin& row : consolidated) {
        std::stable_sort(row.variants.begin(), row.variants.end(),
                         [](const ConsolidatedPlugin::FormatVariant& a, const ConsolidatedPlugin::FormatVariant& b) {
                             return a.badgeLabel() < b.badgeLabel();
                         });
        for (const auto& variant : std::as_const(row.variants)) {
            if (!inactive.contains(variant.id))
                active.insert(variant.id);
        }
    }
    m_activeVariants = active;
    m_consolidated = consolidated;
}

QSet<QUuid> BulkSelection::followNewIds(const QHash<QUuid, QUuid>& newIds)
{
    const auto renamed = [&newIds](const QSet<QUuid>& ids) {
        QSet<QUuid> result;
        for (const QUuid& id : ids) {
            if (const auto it = newIds.constFind(id); it != newIds.constEnd())
                result.insert(*it);
        }
        return result;
    };
    QSet<QUuid> switchedOff;
    for (const ConsolidatedPlugin& row : std::as_const(m_consolidated)) {
        for (const auto& variant : row.variants) {
            if (!m_activeVariants.contains(variant.id))
                switchedOff.insert(variant.id);
        }
    }
    persisted = renamed(persisted);
    visible = renamed(visible);
    return renamed(switchedOff);
}

void BulkSelection::clearBulkPane()
{
    m_activeVariants.clear();
    m_consolidated.clear();
}

void BulkSelection::toggleVariant(const QUuid& id)
{
    if (!m_activeVariants.remove(id))
        m_activeVariants.insert(id);
}

QList<PluginFormat> BulkSelection::formats() const
{
    QList<PluginFormat> formats;
    for (const ConsolidatedPlugin& row : m_consolidated) {
        for (const auto& variant : row.variants) {
            if (!formats.contains(variant.format))
                formats.append(variant.format);
        }
    }
    std::sort(formats.begin(), formats.end(), PluginFormats::rawValueLess);
    return formats;
}

QList<QUuid> BulkSelection::variantIdsOfFormat(PluginFormat format) const
{
    QList<QUuid> ids;
    for (const ConsolidatedPlugin& row : m_consolidated) {
        for (const auto& variant : row.variants) {
            if (variant.format == format)
                ids.append(variant.id);
        }
    }
    return ids;
}

bool BulkSelection::isFormatFullyActive(PluginFormat format) const
{
    const QList<QUuid> ids = variantIdsOfFormat(format);
    if (ids.isEmpty())
        return false;
    return std::all_of(ids.begin(), ids.end(), [this](const QUuid& id) { return m_activeVariants.contains(id); });
}

bool BulkSelection::isFormatPartiallyActive(PluginFormat format) const
{
    const QList<QUuid> ids = variantIdsOfFormat(format);
    const auto active =
        std::count_if(ids.begin(), ids.end(), [this](const QUuid& id) { return m_activeVariants.contains(id); });
    return active > 0 && active < ids.size();
}

bool BulkSelection::toggleFormat(PluginFormat format)
{
    const QList<QUuid> ids = variantIdsOfFormat(format);
    if (ids.isEmpty())
        return false;
    const bool deactivate = isFormatFullyActive(format);
    for (const QUuid& id : ids) {
        if (deactivate)
            m_activeVariants.remove(id);
        else
            m_activeVariants.insert(id);
    }
    return true;
}

QList<AudioPlugin> BulkSelection::actionPlugins(const QList<AudioPlugin>& selectedRows) const
{
    QList<AudioPlugin> result;
    for (const AudioPlugin& plugin : selectedRows) {
        if (m_activeVariants.contains(plugin.id))
            result.append(plugin);
    }
    sortByNameOrder(result);
    return result;
}
