#include "pluginlist/FlowLayout.h"

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

namespace {

struct Placed {
    QLayoutItem* item;
    QSize size;
};
using Row = QList<Placed>;

// The width of every shown item on one row.
int oneRowWidth(const QList<QLayoutItem*>& items, int spacing)
{
    int total = 0;
    int visible = 0;
    for (const QLayoutItem* item : items) {
        if (item->isEmpty())
            continue;
        total += item->sizeHint().width() + (visible++ ? spacing : 0);
    }
    return total;
}

// Fills rows left to right, starting a row where the next item would not fit.
class RowFiller {
public:
    RowFiller(int width, int spacing) : m_width(width), m_spacing(spacing) {}

    void place(const QList<QLayoutItem*>& items, qsizetype from, qsizetype to, bool newRow)
    {
        if (newRow || m_rows.isEmpty())
            startRow();
        for (qsizetype i = from; i < to; ++i) {
            QLayoutItem* item = items.at(i);
            if (item->isEmpty())
                continue;
            const QSize size(qMin(item->sizeHint().width(), m_width), item->sizeHint().height());
            if (!m_rows.last().isEmpty() && gapBefore() + size.width() + m_rowWidths.last() > m_width)
                startRow();
            m_rowWidths.last() += gapBefore() + size.width();
            m_rows.last().append({item, size});
        }
    }
    bool lastRowEmpty() const { return m_rows.last().isEmpty(); }
    const QList<Row>& rows() const { return m_rows; }

private:
    void startRow()
    {
        m_rows.append(Row());
        m_rowWidths.append(0);
    }
    int gapBefore() const { return m_rows.last().isEmpty() ? 0 : m_spacing; }

    int m_width;
    int m_spacing;
    QList<Row> m_rows;
    QList<int> m_rowWidths;
};

int rowHeight(const Row& row)
{
    int height = 0;
    for (const Placed& placed : row)
        height = qMax(height, placed.size.height());
    return height;
}

int widthFrom(const Row& row, qsizetype first, int spacing)
{
    int width = 0;
    for (qsizetype j = first; j < row.size(); ++j)
        width += row.at(j).size.width() + (j > first ? spacing : 0);
    return width;
}

// Sets the geometry of one row's items; from `trailing` on they end at the right edge.
void applyRow(const QList<QLayoutItem*>& items, const Row& row, const QRect& area, int y, int height,
              qsizetype trailing, int spacing)
{
    int x = area.left();
    for (qsizetype i = 0; i < row.size(); ++i) {
        const Placed& placed = row.at(i);
        const qsizetype index = items.indexOf(placed.item);
        if (index >= trailing && (i == 0 || items.indexOf(row.at(i - 1).item) < trailing)) {
            // The trailing group ends at the right edge.
            x = qMax(x, area.right() + 1 - widthFrom(row, i, spacing));
        }
        placed.item->setGeometry(QRect(QPoint(x, y + (height - placed.size.height()) / 2), placed.size));
        x += placed.size.width() + spacing;
    }
}

} // namespace

int FlowLayout::doLayout(const QRect& rect, bool apply) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    const qsizetype trailing = m_trailingStart < 0 ? m_items.size() : qMin<qsizetype>(m_trailingStart, m_items.size());

    // Everything on one row, the trailing group at its right end.
    const bool oneRow = oneRowWidth(m_items, m_horizontalSpacing) <= area.width();
    RowFiller filler(area.width(), m_horizontalSpacing);
    filler.place(m_items, 0, trailing, false);
    filler.place(m_items, trailing, m_items.size(), !oneRow && !filler.lastRowEmpty());
    const QList<Row>& rows = filler.rows();

    int y = area.top();
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const int height = rowHeight(rows.at(r));
        if (apply)
            applyRow(m_items, rows.at(r), area, y, height, oneRow ? trailing : m_items.size(), m_horizontalSpacing);
        y += height + (r + 1 < rows.size() ? m_verticalSpacing : 0);
    }
    return y - area.top() + margins.top() + margins.bottom();
}
