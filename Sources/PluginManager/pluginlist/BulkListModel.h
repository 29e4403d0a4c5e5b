#pragma once

#include "catalogue/PluginModels.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>

#include <memory>

class PluginManagerViewModel;

/// The bulk panel's list: one entry per collected plug-in name, in the view model's
/// order, plus the panel's own state per name: whether the user marked it and its
/// flash when it first appeared.
class BulkListModel final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkListModel)
public:
    explicit BulkListModel(PluginManagerViewModel& viewModel, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ConsolidatedPlugin* entry(int row) const;
    /// Where the bundle of a listed variant is now: two variants of one name and format are told apart by it.
    QString variantPath(const QUuid& id) const { return m_paths.value(id); }
    PluginManagerViewModel& viewModel() const { return m_viewModel; }

    const QSet<QString>& markedNames() const { return m_marked; }
    bool isMarked(const QString& name) const { return m_marked.contains(name); }
    void toggleMarked(const QString& name);
    void clearMarked();

    /// Opacity of the row's pink flash now: 0.45 for 0.22 s after the name first
    /// appeared, then fading out over 0.9 s (ease-out).
    qreal flashLevel(const QString& name) const;
    /// The row's scale now: it springs to 1.015 while the flash is lit and back after.
    qreal flashScale(const QString& name) const;
    bool isAnyRowFlashing() const;

    static constexpr int kFlashHoldMs = 220;
    static constexpr int kFlashFadeMs = 900;
    static constexpr qreal kFlashLevel = 0.45;
    static constexpr qreal kFlashScale = 1.015;

Q_SIGNALS:
    void markedNamesChanged();
    /// A flash moved: the rows need painting again.
    void flashChanged();

private:
    class Flash;
    void reload();
    void reloadPaths();

    PluginManagerViewModel& m_viewModel;
    QList<ConsolidatedPlugin> m_entries;
    QHash<QUuid, QString> m_paths; // of the variants listed
    QSet<QString> m_marked;
    // One per name in the list, kept while the name stays, so a name flashes once.
    QHash<QString, std::shared_ptr<Flash>> m_flashes;
};
