#include "pluginlist/BulkListModel.h"

#include "operations/PluginManagerViewModel.h"
#include "widgets/Motion.h"
#include "widgets/SpringValue.h"

#include <QPauseAnimation>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>

#include <algorithm>

/// One row's appearance flash: the pink fill held, then faded; the row's scale springing up
/// while the fill is held and back when it fades. Without motion the fill goes out at once
/// and the row keeps its size.
class BulkListModel::Flash final : public QObject {
public:
    explicit Flash(BulkListModel& model) : m_scale(1.0, {0.25, 0.6})
    {
        const bool animated = Motion::enabled();
        m_fill.addPause(kFlashHoldMs);
        m_fade = new QVariantAnimation(&m_fill);
        m_fade->setStartValue(kFlashLevel);
        m_fade->setEndValue(0.0);
        m_fade->setDuration(animated ? kFlashFadeMs : 0);
        m_fade->setEasingCurve(Motion::easeOut());
        m_fill.addAnimation(m_fade);
        connect(m_fade, &QVariantAnimation::valueChanged, &model, [this, &model](const QVariant& level) {
            m_level = level.toReal();
            Q_EMIT model.flashChanged();
        });
        connect(&m_fill, &QSequentialAnimationGroup::currentAnimationChanged, this,
                [this, animated](QAbstractAnimation* now) {
                    if (now == m_fade)
                        m_scale.setTarget(1.0, animated);
                });
        connect(&m_fill, &QAbstractAnimation::finished, &model, [this, &model] {
            m_level = 0;
            Q_EMIT model.flashChanged();
        });
        connect(&m_scale, &SpringValue::valueChanged, &model, &BulkListModel::flashChanged);
        MotionTimeline::current().start(m_fill);
        if (animated) // a pop in size would be motion too
            m_scale.setTarget(kFlashScale, true);
    }
    Q_DISABLE_COPY_MOVE(Flash)
    ~Flash() override
    {
        // Gone with its name or with the model: nothing of it reports any more.
        m_fill.blockSignals(true);
        m_fade->blockSignals(true);
        m_scale.blockSignals(true);
    }

    qreal level() const { return m_level; }
    qreal scale() const { return m_scale.value(); }
    bool isLit() const { return m_fill.state() != QAbstractAnimation::Stopped || m_scale.isMoving(); }

private:
    SpringValue m_scale;
    QSequentialAnimationGroup m_fill;
    QVariantAnimation* m_fade = nullptr;
    qreal m_level = kFlashLevel;
};

BulkListModel::BulkListModel(PluginManagerViewModel& viewModel, QObject* parent)
    : QAbstractListModel(parent), m_viewModel(viewModel)
{
    connect(&m_viewModel, &PluginManagerViewModel::consolidatedBulkPluginsChanged, this, &BulkListModel::reload);
    // A switched bundle moves: its badge names where it is now.
    connect(&m_viewModel, &PluginManagerViewModel::pluginsChanged, this, &BulkListModel::reloadPaths);
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
    const auto it = m_flashes.constFind(name);
    return it == m_flashes.constEnd() ? 0 : it.value()->level();
}

qreal BulkListModel::flashScale(const QString& name) const
{
    const auto it = m_flashes.constFind(name);
    return it == m_flashes.constEnd() ? 1 : it.value()->scale();
}

bool BulkListModel::isAnyRowFlashing() const
{
    return std::any_of(m_flashes.cbegin(), m_flashes.cend(), [](const auto& flash) { return flash->isLit(); });
}

void BulkListModel::reload()
{
    beginResetModel();
    m_entries = m_viewModel.consolidatedBulkPlugins();
    // A name keeps its flash while it stays in the list; a new name flashes once.
    QHash<QString, std::shared_ptr<Flash>> flashes;
    for (const ConsolidatedPlugin& plugin : m_entries) {
        const auto it = m_flashes.constFind(plugin.name);
        flashes.insert(plugin.name, it != m_flashes.constEnd() ? it.value() : std::make_shared<Flash>(*this));
    }
    m_flashes = std::move(flashes);
    reloadPaths();
    endResetModel();
}

void BulkListModel::reloadPaths()
{
    QSet<QUuid> listed;
    for (const ConsolidatedPlugin& plugin : std::as_const(m_entries)) {
        for (const auto& variant : plugin.variants)
            listed.insert(variant.id);
    }
    m_paths.clear();
    for (const AudioPlugin& plugin : m_viewModel.plugins()) {
        if (listed.contains(plugin.id))
            m_paths.insert(plugin.id, plugin.currentPath);
    }
}
