#include "FlowLayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent), m_horizontalSpacing(horizontalSpacing), m_verticalSpacing(verticalSpacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index);
}

int FlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // One row holding everything.
    int width = 0;
    int height = 0;
    bool first = true;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width() + (first ? 0 : m_horizontalSpacing);
        height = qMax(height, hint.height());
        first = false;
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, true);
}

int FlowLayout::doLayout(const QRect& rect, bool apply) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    struct Placed {
        QLayoutItem* item;
        QSize size;
    };
    QList<QList<Placed>> rows;
    QList<int> rowWidths;
    const qsizetype trailing = m_trailingStart < 0 ? m_items.size() : qMin<qsizetype>(m_trailingStart, m_items.size());

    // Everything on one row, the trailing group at its right end.
    int total = 0;
    int visible = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        total += item->sizeHint().width() + (visible++ ? m_horizontalSpacing : 0);
    }
    const bool oneRow = total <= area.width();

    auto place = [&](qsizetype from, qsizetype to, bool newRow) {
        if (newRow || rows.isEmpty()) {
            rows.append(QList<Placed>());
            rowWidths.append(0);
        }
        for (qsizetype i = from; i < to; ++i) {
            QLayoutItem* item = m_items.at(i);
            if (item->isEmpty())
                continue;
            const QSize size(qMin(item->sizeHint().width(), area.width()), item->sizeHint().height());
            const int needed = rowWidths.last() + (rows.last().isEmpty() ? 0 : m_horizontalSpacing) + size.width();
            if (!rows.last().isEmpty() && needed > area.width()) {
                rows.append(QList<Placed>());
                rowWidths.append(0);
            }
            rowWidths.last() += (rows.last().isEmpty() ? 0 : m_horizontalSpacing) + size.width();
            rows.last().append({item, size});
        }
    };
    place(0, trailing, false);
    place(trailing, m_items.size(), !oneRow && !rows.last().isEmpty());

    int y = area.top();
    for (qsizetype r = 0; r < rows.size(); ++r) {
        int height = 0;
        for (const Placed& placed : rows.at(r))
            height = qMax(height, placed.size.height());
        if (apply) {
            int x = area.left();
            for (qsizetype i = 0; i < rows.at(r).size(); ++i) {
                const Placed& placed = rows.at(r).at(i);
                const qsizetype index = m_items.indexOf(placed.item);
                if (oneRow && index >= trailing && (i == 0 || m_items.indexOf(rows.at(r).at(i - 1).item) < trailing)) {
                    // The trailing group ends at the right edge.
                    int groupWidth = 0;
                    for (qsizetype j = i; j < rows.at(r).size(); ++j)
                        groupWidth += rows.at(r).at(j).size.width() + (j > i ? m_horizontalSpacing : 0);
                    x = qMax(x, area.right() + 1 - groupWidth);
                }
                placed.item->setGeometry(
                    QRect(QPoint(x, y + (height - placed.size.height()) / 2), placed.size));
                x += placed.size.width() + m_horizontalSpacing;
            }
        }
        y += height + (r + 1 < rows.size() ? m_verticalSpacing : 0);
    }
    return y - area.top() + margins.top() + margins.bottom();
}
