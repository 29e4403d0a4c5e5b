#pragma once

#include <QAccessible>
#include <QList>
#include <QModelIndex>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

class QAbstractItemView;

/// What the items of a view do beyond being read and selected, for assistive technology:
/// each action runs the same road as the click or key that does it.
class ItemViewActions {
public:
    /// A painted control inside an item (a badge): a child of the item's cell.
    struct Part {
        QString name;
        QRect rect; // in the view's viewport
        std::optional<bool> checked;
    };

    virtual ~ItemViewActions() = default;
    virtual QStringList actionNames(const QModelIndex& index) const = 0;
    virtual void doAction(const QModelIndex& index, const QString& action) = 0;
    virtual QStringList keyBindings(const QModelIndex& index, const QString& action) const;
    /// A value for items that read as a switch or a tick.
    virtual std::optional<bool> checkedState(const QModelIndex& index) const;
    virtual QString description(const QModelIndex& index) const;
    virtual QList<Part> parts(const QModelIndex& index) const;
    /// A part's one action toggles it (or presses it when it has no checked state).
    virtual void doPartAction(const QModelIndex& index, int part);
};

namespace ItemViewAccessible {
/// Gives `view` an accessible table (or list) whose items are read from the model whenever a
/// client asks, numbered as the view numbers them in its focus events, and offer `actions`.
/// A client that still counts rows that are gone gets no item (and nothing is printed).
/// Call before the view is first shown; `actions` must live as long as the view.
void install(QAbstractItemView* view, ItemViewActions* actions);
} // namespace ItemViewAccessible
