#pragma once

#include <QLayout>
#include <QList>

/// Lays its items out in a row and wraps them onto further rows when the width runs
/// out, so its minimum width is that of its widest item. Items from trailingStart() on
/// sit at the right end of the first row when everything fits on one row, and start a
/// row of their own otherwise.
class FlowLayout final : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr, int horizontalSpacing = 8, int verticalSpacing = 6);
    ~FlowLayout() override;

    void setTrailingStart(int index)
    {
        m_trailingStart = index;
        invalidate();
    }
    int trailingStart() const { return m_trailingStart; }

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    /// Places the items (when `apply`) inside `rect`; returns the height used.
    int doLayout(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
    int m_trailingStart = -1;
};
