#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QStringList>

/// The manufacturer names the sidebar lists: the catalogue's names narrowed by the
/// filter text, each marked when it is in the manufacturer filter. Thousands of
/// names stay cheap: rows are painted by the view, not built as widgets.
class ManufacturerListModel final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ManufacturerListModel)
public:
    enum Role { SelectedRole = Qt::UserRole + 1 };

    explicit ManufacturerListModel(QObject* parent = nullptr);

    void setNames(const QStringList& names);
    void setFilterText(const QString& text);
    void setSelectedNames(const QSet<QString>& names);

    const QStringList& shownNames() const { return m_shown; }
    QString nameAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void rebuild();

    QStringList m_names;
    QStringList m_shown;
    QString m_filter;
    QSet<QString> m_selected;
};
