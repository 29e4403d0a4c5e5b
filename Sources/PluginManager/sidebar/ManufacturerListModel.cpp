#include "sidebar/ManufacturerListModel.h"

#include "sidebar/SidebarTexts.h"

ManufacturerListModel::ManufacturerListModel(QObject* parent) : QAbstractListModel(parent) {}

void ManufacturerListModel::setNames(const QStringList& names)
{
    if (names == m_names)
        return;
    m_names = names;
    rebuild();
}

void ManufacturerListModel::setFilterText(const QString& text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    rebuild();
}

void ManufacturerListModel::setSelectedNames(const QSet<QString>& names)
{
    if (names == m_selected)
        return;
    m_selected = names;
    if (!m_shown.isEmpty())
        Q_EMIT dataChanged(index(0), index(static_cast<int>(m_shown.size()) - 1),
                           {SelectedRole, Qt::AccessibleDescriptionRole});
}

QString ManufacturerListModel::nameAt(int row) const
{
    return row >= 0 && row < m_shown.size() ? m_shown.at(row) : QString();
}

int ManufacturerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

QVariant ManufacturerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown.size())
        return {};
    const QString& name = m_shown.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return name;
    case Qt::ToolTipRole:
        return QStringLiteral("Visit ") + name + QStringLiteral(" website");
    case Qt::AccessibleDescriptionRole:
        return m_selected.contains(name) ? tr("in filter") : tr("not in filter");
    case SelectedRole:
        return m_selected.contains(name);
    default:
        return {};
    }
}

void ManufacturerListModel::rebuild()
{
    beginResetModel();
    m_shown.clear();
    for (const QString& name : std::as_const(m_names)) {
        if (SidebarTexts::manufacturerMatches(name, m_filter))
            m_shown << name;
    }
    endResetModel();
}
