#pragma once

#include "catalogue/PluginModels.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>

class PluginManagerViewModel;

/// The bulk panel's list: one entry per collected plug-in name, in the view model's
/// order, plus the panel's own state per name: whether the user marked it and when it
/// first appeared (for its flash).
class BulkListModel final : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkListModel)
public:
    explicit BulkListModel(PluginManagerViewModel& viewModel, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ConsolidatedPlugin* entry(int row) const;
    PluginManagerViewModel& viewModel() const { return m_viewModel; }

    const QSet<QString>& markedNames() const { return m_marked; }
    bool isMarked(const QString& name) const { return m_marked.contains(name); }
    void toggleMarked(const QString& name);
    void clearMarked();

    /// Opacity of the row's pink flash now: 0.45 for 0.22 s after the name first
    /// appeared, then fading out over 0.9 s.
    qreal flashLevel(const QString& name) const;
    bool isAnyRowFlashing() const;

    static constexpr qint64 kFlashHoldMs = 220;
    static constexpr qint64 kFlashFadeMs = 900;

Q_SIGNALS:
    void markedNamesChanged();
    void flashStarted();

private:
    void reload();

    PluginManagerViewModel& m_viewModel;
    QList<ConsolidatedPlugin> m_entries;
    QSet<QString> m_marked;
    QHash<QString, qint64> m_appearedAt;
    QElapsedTimer m_clock;
};
