#pragma once

#include <QModelIndex>
#include <QRect>
#include <QStyledItemDelegate>

/// Paints the cells of the plug-in table that are more than text: the status switch,
/// the manufacturer link, the format chip and the preview status badge. The switch and
/// the link react to a click; the same click still selects the row.
class PluginCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PluginCellDelegate)
public:
    explicit PluginCellDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    /// While an operation runs the switches are drawn dimmed and ignore clicks.
    void setInteractive(bool interactive) { m_interactive = interactive; }
    bool isInteractive() const { return m_interactive; }

    /// The width a column needs for its widest usual cell (switch, chip, badge or the
    /// longest short text); Name and Manufacturer give 0 (they take the rest).
    static int contentWidth(int column, bool preview);
    /// The switch's capsule inside a status cell.
    static QRect switchRect(const QRect& cell);
    /// The clickable manufacturer text and arrow inside a manufacturer cell.
    static QRect linkRect(const QRect& cell, const QString& manufacturer, const QFont& font);

Q_SIGNALS:
    void toggleRequested(const QModelIndex& index);
    void linkActivated(const QModelIndex& index);

private:
    void paintSwitch(QPainter* painter, const QRect& cell, bool enabled) const;
    void paintLink(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintFormatChip(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintPreviewStatus(QPainter* painter, const QRect& cell, const QModelIndex& index) const;

    bool m_interactive = true;
};
