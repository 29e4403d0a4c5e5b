#pragma once

#include "catalogue/PluginModels.h"

#include <QList>
#include <QRect>
#include <QStyledItemDelegate>

class BulkListModel;

/// Paints one line of the bulk list: the plug-in name and one badge per installed
/// format variant, whose dot shows whether the variant takes part in the next bulk
/// action. A click on a badge toggles that variant; a click elsewhere marks the name.
class BulkPluginRow final : public QStyledItemDelegate {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkPluginRow)
public:
    explicit BulkPluginRow(BulkListModel& model, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    /// Over a badge, the tooltip is where that variant's bundle is.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    /// The badges of a row, right-aligned, in variant order.
    static QList<QRect> badgeRects(const QRect& row, const QList<ConsolidatedPlugin::FormatVariant>& variants);
    static QFont badgeFont();

    /// The badge of the current row the keyboard has reached; -1 for the row's name.
    int focusedBadge() const { return m_focusedBadge; }
    void setFocusedBadge(int badge) { m_focusedBadge = badge; }

private:
    BulkListModel& m_model;
    int m_focusedBadge = -1;
};
