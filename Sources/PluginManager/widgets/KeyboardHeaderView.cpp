#include "widgets/KeyboardHeaderView.h"

#include "widgets/ItemViewAccessible.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QPainter>

KeyboardHeaderView::KeyboardHeaderView(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent)
{
    setFocusPolicy(Qt::TabFocus);
    setProperty("focusedSection", m_focused);
}

int KeyboardHeaderView::focusedSection() const
{
    const int sections = count();
    return sections == 0 ? -1 : std::clamp(m_focused, 0, sections - 1);
}

void KeyboardHeaderView::setFocusedSection(int logicalIndex)
{
    if (logicalIndex < 0 || logicalIndex >= count())
        return;
    const int previous = m_focused;
    m_focused = logicalIndex;
    setProperty("focusedSection", m_focused);
    if (previous != m_focused || hasFocus()) {
        viewport()->update();
        if (hasFocus())
            announce();
    }
}

int KeyboardHeaderView::shownSection(int fromVisual, int steps) const
{
    int visual = fromVisual;
    const int step = steps < 0 ? -1 : 1;
    for (int moved = 0; moved != steps;) {
        const int next = visual + step;
        if (next < 0 || next >= count())
            break;
        visual = next;
        if (!isSectionHidden(logicalIndex(visual)))
            moved += step;
    }
    return logicalIndex(visual);
}

void KeyboardHeaderView::keyPressEvent(QKeyEvent* event)
{
    const int focused = focusedSection();
    if (focused < 0 || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QHeaderView::keyPressEvent(event);
        return;
    }
    const bool horizontal = orientation() == Qt::Horizontal;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        if ((event->key() == Qt::Key_Left) == horizontal) {
            setFocusedSection(shownSection(visualIndex(focused), -1));
            return;
        }
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if ((event->key() == Qt::Key_Right) == horizontal) {
            setFocusedSection(shownSection(visualIndex(focused), 1));
            return;
        }
        break;
    case Qt::Key_Home:
        setFocusedSection(shownSection(-1, 1));
        return;
    case Qt::Key_End:
        setFocusedSection(shownSection(count(), -1));
        return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The road a click on the section takes.
        if (sectionsClickable())
            Q_EMIT sectionClicked(focused);
        return;
    default:
        break;
    }
    QHeaderView::keyPressEvent(event);
}

void KeyboardHeaderView::focusInEvent(QFocusEvent* event)
{
    QHeaderView::focusInEvent(event);
    viewport()->update();
    announce();
}

void KeyboardHeaderView::focusOutEvent(QFocusEvent* event)
{
    QHeaderView::focusOutEvent(event);
    viewport()->update();
}

void KeyboardHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    // The style leaves its own clip behind (an empty one): the ring is drawn on a clean state.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (!hasFocus() || logicalIndex != focusedSection())
        return;
    painter->save();
    painter->setClipRect(rect);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
    painter->restore();
}

void KeyboardHeaderView::announce()
{
    if (auto* view = qobject_cast<QAbstractItemView*>(parentWidget()))
        ItemViewAccessible::announceHeaderFocus(view, focusedSection());
}
