#include "widgets/TabChain.h"

#include <QWidget>

namespace TabChain {

QList<QWidget*> stops(QWidget* root)
{
    QList<QWidget*> found;
    if (!root)
        return found;
    QWidget* widget = root;
    do {
        if ((widget == root || root->isAncestorOf(widget)) && widget->focusPolicy() != Qt::NoFocus)
            found.append(widget);
        widget = widget->nextInFocusChain();
    } while (widget && widget != root);
    return found;
}

void placeAfter(QWidget* anchor, const QList<QWidget*>& widgets)
{
    QWidget* previous = anchor;
    for (QWidget* widget : widgets) {
        if (!previous || !widget || widget == previous)
            continue;
        QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace TabChain
