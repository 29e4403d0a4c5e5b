#include "pluginlist/PluginTableModel.h"

#include "Platform/Clock.h"
#include "Platform/PlatformServices.h"
#include "catalogue/ProfileManager.h"
#include "widgets/AppTheme.h"
#include "widgets/Typography.h"

#include <QScopeGuard>

namespace {

QDateTime currentTime(const std::shared_ptr<const Clock>& clock)
{
    return clock ? clock->now() : QDateTime::currentDateTimeUtc();
}

} // namespace

PluginTableModel::PluginTableModel(PluginManagerViewModel& viewModel, QObject* parent)
    : QAbstractTableModel(parent), m_viewModel(viewModel)
{
    m_preview = m_viewModel.activeProfile().has_value();
    if (m_preview)
        m_enabledKeys = ProfileManager::enabledKeys(m_viewModel.plugins());
    m_rows = m_viewModel.filteredPlugins();
    rebuildIndex(0);

    connect(&m_viewModel, &PluginManagerViewModel::displayedPluginsChanged, this, &PluginTableModel::reload);
    connect(&m_viewModel, &PluginManagerViewModel::displayedPluginsAppended, this, &PluginTableModel::appendFrom);
    connect(&m_viewModel, &PluginManagerViewModel::activeProfileChanged, this, &PluginTableModel::reload);
    connect(&m_viewModel, &PluginManagerViewModel::profileViewFilterChanged, this, &PluginTableModel::reload);
    for (auto signal : {&PluginManagerViewModel::cachedProfileChangesChanged, &PluginManagerViewModel::pluginsChanged})
        connect(&m_viewModel, signal, this, [this] {
            if (m_preview)
                reload();
        });
}

int PluginTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PluginTableModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_preview ? 4 : 6;
}

const AudioPlugin* PluginTableModel::pluginAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return nullptr;
    return &m_rows.at(row);
}

int PluginTableModel::rowOf(const QUuid& id) const
{
    return m_rowOfId.value(id, -1);
}

QString PluginTableModel::columnTitle(int column)
{
    switch (column) {
    case statusColumn:
        return QStringLiteral("Status");
    case nameColumn:
        return QStringLiteral("Name");
    case manufacturerColumn:
        return QStringLiteral("Manufacturer");
    case formatColumn:
        return QStringLiteral("Format");
    case versionColumn:
        return QStringLiteral("Version");
    case lastUsedColumn:
        return QStringLiteral("Last Used(Est.)");
    default:
        return {};
    }
}

PluginSortKey PluginTableModel::sortKey(int column)
{
    switch (column) {
    case statusColumn:
        return PluginSortKey::statusValue;
    case manufacturerColumn:
        return PluginSortKey::manufacturer;
    case formatColumn:
        return PluginSortKey::formatRawValue;
    case versionColumn:
        return PluginSortKey::versionValue;
    case lastUsedColumn:
        return PluginSortKey::lastUsedValue;
    case nameColumn:
    default:
        return PluginSortKey::name;
    }
}

int PluginTableModel::columnOf(PluginSortKey key) const
{
    for (int column = 0; column < columnCount(); ++column) {
        if (sortKey(column) == key)
            return column;
    }
    return -1;
}

PluginTableModel::PreviewStatus PluginTableModel::previewStatus(const std::optional<PluginProfile>& profile,
                                                                const AudioPlugin& plugin,
                                                                const QSet<QString>& enabledKeys)
{
    if (!profile)
        return PreviewStatus::none;
    if (ProfileManager::differsFromProfile(*profile, plugin, enabledKeys))
        return plugin.isEnabled ? PreviewStatus::willDisable : PreviewStatus::willEnable;
    // Unchanged by Apply: the plug-in keeps the state it has (a second copy of a
    // satisfied key stays disabled).
    return plugin.isEnabled ? PreviewStatus::enabled : PreviewStatus::disabled;
}

QString PluginTableModel::previewStatusText(PreviewStatus status)
{
    switch (status) {
    case PreviewStatus::willEnable:
        return QStringLiteral("Will Enable");
    case PreviewStatus::willDisable:
        return QStringLiteral("Will Disable");
    case PreviewStatus::enabled:
        return QStringLiteral("Enabled");
    case PreviewStatus::disabled:
        return QStringLiteral("Disabled");
    case PreviewStatus::none:
        break;
    }
    return {};
}

namespace {

using PreviewStatus = PluginTableModel::PreviewStatus;

QVariant displayText(const AudioPlugin& plugin, int column, bool preview, PreviewStatus status,
                     const std::shared_ptr<const Clock>& clock)
{
    switch (column) {
    case PluginTableModel::statusColumn:
        return preview ? PluginTableModel::previewStatusText(status) : plugin.statusValue();
    case PluginTableModel::nameColumn:
        return plugin.name;
    case PluginTableModel::manufacturerColumn:
        return plugin.manufacturer.isEmpty() ? QStringLiteral("Unknown") : plugin.manufacturer;
    case PluginTableModel::formatColumn:
        return PluginFormats::rawValue(plugin.format);
    case PluginTableModel::versionColumn:
        return plugin.versionValue();
    case PluginTableModel::lastUsedColumn:
        return plugin.lastUsedValue(currentTime(clock));
    default:
        return {};
    }
}

QVariant cellFont(int column)
{
    if (column == PluginTableModel::nameColumn)
        return Typography::withWeight(Typography::body(), QFont::Medium);
    if (column == PluginTableModel::versionColumn || column == PluginTableModel::lastUsedColumn)
        return Typography::listCaption();
    return {};
}

// During a profile preview the name and maker take the colour of what the profile would do,
// in a shade that reads on the row (and on its orange wash when the row will change).
QVariant previewForeground(const AudioPlugin& plugin, int column, PreviewStatus status)
{
    const bool willChange = status == PreviewStatus::willEnable || status == PreviewStatus::willDisable;
    const QColor statusColor = willChange                         ? AppTheme::systemOrange()
                               : status == PreviewStatus::enabled ? AppTheme::systemGreen()
                                                                  : AppTheme::systemRed();
    const QColor ground =
        willChange ? AppTheme::over(AppTheme::withAlpha(AppTheme::systemOrange(), 0.12), AppTheme::rowBackground())
                   : AppTheme::rowBackground();
    if (column == PluginTableModel::nameColumn)
        return AppTheme::legible(AppTheme::withAlpha(statusColor, 0.9), ground);
    if (column == PluginTableModel::manufacturerColumn) {
        if (willChange)
            return AppTheme::legible(AppTheme::systemOrange(), ground);
        return plugin.manufacturer.isEmpty() ? AppTheme::textSecondary() : AppTheme::textPrimary();
    }
    return {};
}

QVariant plainForeground(const AudioPlugin& plugin, int column)
{
    if (column == PluginTableModel::versionColumn)
        return AppTheme::textSecondary();
    if (column == PluginTableModel::lastUsedColumn)
        return plugin.lastUsed
                   ? AppTheme::textSecondary()
                   : AppTheme::legible(AppTheme::withAlpha(AppTheme::textSecondary(), 0.5), AppTheme::rowBackground());
    if (column == PluginTableModel::nameColumn)
        return AppTheme::textPrimary();
    return {};
}

} // namespace

QVariant PluginTableModel::data(const QModelIndex& index, int role) const
{
    const AudioPlugin* plugin = index.isValid() ? pluginAt(index.row()) : nullptr;
    if (!plugin || index.column() >= columnCount())
        return {};
    const int column = index.column();

    switch (role) {
    case pluginIdRole:
        return QVariant::fromValue(plugin->id);
    case enabledRole:
        return plugin->isEnabled;
    case formatRole:
        return int(plugin->format);
    case hasManufacturerRole:
        return !plugin->manufacturer.isEmpty();
    default:
        break;
    }

    const PreviewStatus status =
        m_preview ? previewStatus(m_viewModel.activeProfile(), *plugin, m_enabledKeys) : PreviewStatus::none;
    const bool willChange = status == PreviewStatus::willEnable || status == PreviewStatus::willDisable;
    if (role == previewStatusRole)
        return int(status);
    if (role == willChangeRole)
        return willChange;

    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return displayText(*plugin, column, m_preview, status, m_viewModel.services().clock);
    if (role == Qt::ToolTipRole && column == manufacturerColumn && !m_preview && !plugin->manufacturer.isEmpty())
        return QStringLiteral("Visit ") + plugin->manufacturer + QStringLiteral(" website");
    if (role == Qt::FontRole)
        return cellFont(column);
    if (role == Qt::ForegroundRole)
        return m_preview ? previewForeground(*plugin, column, status) : plainForeground(*plugin, column);
    if (role == Qt::BackgroundRole && m_preview && willChange && (column == nameColumn || column == manufacturerColumn))
        return AppTheme::withAlpha(AppTheme::systemOrange(), 0.12);
    if (role == Qt::TextAlignmentRole) {
        if (column == statusColumn)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant PluginTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return columnTitle(section);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags PluginTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The preview table refuses selection.
    if (m_preview)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void PluginTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    m_viewModel.setSortOrder({PluginSortComparator{sortKey(column), order == Qt::AscendingOrder}});
}

bool PluginTableModel::sameContent(const AudioPlugin& a, const AudioPlugin& b)
{
    return a.isEnabled == b.isEnabled && a.name == b.name && a.manufacturer == b.manufacturer && a.format == b.format &&
           a.version == b.version && a.lastUsed == b.lastUsed && a.currentPath == b.currentPath &&
           a.originalPath == b.originalPath;
}

void PluginTableModel::rebuildIndex(int fromRow)
{
    if (fromRow == 0)
        m_rowOfId.clear();
    m_rowOfId.reserve(m_rows.size());
    for (int row = fromRow; row < m_rows.size(); ++row)
        m_rowOfId.insert(m_rows.at(row).id, row);
}

void PluginTableModel::reload()
{
    m_syncing = true;
    auto done = qScopeGuard([this] {
        m_syncing = false;
        Q_EMIT rowsSynced();
    });

    const bool preview = m_viewModel.activeProfile().has_value();
    QList<AudioPlugin> next = m_viewModel.filteredPlugins();

    if (preview != m_preview || preview) {
        // A mode change alters the columns; preview rows also depend on the profile.
        beginResetModel();
        m_preview = preview;
        m_enabledKeys = preview ? ProfileManager::enabledKeys(m_viewModel.plugins()) : QSet<QString>();
        m_rows = std::move(next);
        rebuildIndex(0);
        endResetModel();
        return;
    }

    const qsizetype oldCount = m_rows.size();
    const qsizetype newCount = next.size();
    qsizetype common = 0;
    const qsizetype limit = qMin(oldCount, newCount);
    while (common < limit && m_rows.at(common).id == next.at(common).id)
        ++common;

    if (common < limit) {
        beginResetModel();
        m_rows = std::move(next);
        rebuildIndex(0);
        endResetModel();
        return;
    }

    // The rows that stayed in place: report only those whose content changed.
    QList<int> changed;
    for (qsizetype row = 0; row < common; ++row) {
        if (!sameContent(m_rows.at(row), next.at(row)))
            changed.append(int(row));
    }

    if (newCount < oldCount) {
        beginRemoveRows({}, int(newCount), int(oldCount - 1));
        m_rows = std::move(next);
        rebuildIndex(0);
        endRemoveRows();
    } else if (newCount > oldCount) {
        beginInsertRows({}, int(oldCount), int(newCount - 1));
        m_rows = std::move(next);
        rebuildIndex(int(oldCount));
        endInsertRows();
    } else {
        m_rows = std::move(next);
    }

    const int lastColumn = columnCount() - 1;
    qsizetype i = 0;
    while (i < changed.size()) {
        qsizetype j = i;
        while (j + 1 < changed.size() && changed.at(j + 1) == changed.at(j) + 1)
            ++j;
        Q_EMIT dataChanged(index(changed.at(i), 0), index(changed.at(j), lastColumn));
        i = j + 1;
    }
}

void PluginTableModel::appendFrom(int firstNewRow)
{
    if (m_preview || firstNewRow != m_rows.size()) {
        reload();
        return;
    }
    const QList<AudioPlugin>& source = m_viewModel.displayedPlugins();
    if (source.size() <= m_rows.size()) {
        reload();
        return;
    }
    m_syncing = true;
    const int oldCount = int(m_rows.size());
    beginInsertRows({}, oldCount, int(source.size() - 1));
    m_rows.append(source.mid(oldCount));
    rebuildIndex(oldCount);
    endInsertRows();
    m_syncing = false;
    Q_EMIT rowsSynced();
}
