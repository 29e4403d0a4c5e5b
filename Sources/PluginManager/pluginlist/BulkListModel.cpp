#include "pluginlist/BulkListModel.h"

#include "operations/PluginManagerViewModel.h"

#include <QEasingCurve>

BulkListModel::BulkListModel(PluginManagerViewModel& viewModel, QObject* parent)
    : QAbstractListModel(parent), m_viewModel(viewModel)
{
    m_clock.start();
    connect(&m_viewModel, &PluginManagerViewModel::consolidatedBulkPluginsChanged, this, &BulkListModel::reload);
    connect(&m_viewModel, &PluginManagerViewModel::bulkActiveVariantsChanged, this, [this] {
        if (!m_entries.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_entries.size()) - 1));
    });
    reload();
}

int BulkListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant BulkListModel::data(const QModelIndex& index, int role) const
{
    const ConsolidatedPlugin* plugin = index.isValid() ? entry(index.row()) : nullptr;
    if (!plugin)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return plugin->name;
    if (role == Qt::AccessibleDescriptionRole) {
        // The badges are painted, so their names and states are read out with the row.
        QStringList badges;
        const QSet<QUuid>& active = m_viewModel.bulkActiveVariants();
        for (const auto& variant : plugin->variants)
            badges.append(variant.badgeLabel() +
                          (active.contains(variant.id) ? QStringLiteral(" (active)") : QStringLiteral(" (inactive)")));
        return badges.join(QStringLiteral(", "));
    }
    return {};
}

const ConsolidatedPlugin* BulkListModel::entry(int row) const
{
    if (row < 0 || row >= m_entries.size())
        return nullptr;
    return &m_entries.at(row);
}

void BulkListModel::toggleMarked(const QString& name)
{
    if (!m_marked.remove(name))
        m_marked.insert(name);
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).name == name)
            Q_EMIT dataChanged(index(row), index(row));
    }
    Q_EMIT markedNamesChanged();
}

void BulkListModel::clearMarked()
{
    if (m_marked.isEmpty())
        return;
    m_marked.clear();
    if (!m_entries.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_entries.size()) - 1));
    Q_EMIT markedNamesChanged();
}

qreal BulkListModel::flashLevel(const QString& name) const
{
    const auto it = m_appearedAt.constFind(name);
    if (it == m_appearedAt.constEnd())
        return 0;
    const qint64 elapsed = m_clock.elapsed() - it.value();
    if (elapsed < kFlashHoldMs)
        return 0.45;
    const qreal progress = qreal(elapsed - kFlashHoldMs) / kFlashFadeMs;
    if (progress >= 1)
        return 0;
    return 0.45 * (1 - QEasingCurve(QEasingCurve::OutCubic).valueForProgress(progress));
}

bool BulkListModel::isAnyRowFlashing() const
{
    const qint64 now = m_clock.elapsed();
    for (auto it = m_appearedAt.constBegin(); it != m_appearedAt.constEnd(); ++it) {
        if (now - it.value() < kFlashHoldMs + kFlashFadeMs)
            return true;
    }
    return false;
}

void BulkListModel::reload()
{
    beginResetModel();
    m_entries = m_viewModel.consolidatedBulkPlugins();
    // A name keeps its flash state while it stays in the list; a new name flashes once.
    QHash<QString, qint64> appeared;
    bool started = false;
    const qint64 now = m_clock.elapsed();
    for (const ConsolidatedPlugin& plugin : m_entries) {
        const auto it = m_appearedAt.constFind(plugin.name);
        if (it != m_appearedAt.constEnd()) {
            appeared.insert(plugin.name, it.value());
        } else {
            appeared.insert(plugin.name, now);
            started = true;
        }
    }
    m_appearedAt = std::move(appeared);
    endResetModel();
    if (started)
        Q_EMIT flashStarted();
}
