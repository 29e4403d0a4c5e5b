#pragma once

#include <QList>
#include <QWidget>

/// The shown Tab stops of `window`, in the order Tab visits them.
inline QList<QWidget*> tabStops(QWidget* window)
{
    QList<QWidget*> stops;
    QWidget* widget = window;
    do {
        if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus))
            stops.append(widget);
        widget = widget->nextInFocusChain();
    } while (widget && widget != window);
    return stops;
}
