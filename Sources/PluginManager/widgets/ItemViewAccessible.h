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
        bool focused = false; // the keyboard is on it
        QString description;  // what tells it from a part of the same name
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
/// client asks, numbered as the view itself numbers them in its focus and selection events (a
/// table counts its header row and its header column, shown or not), and offer `actions`.
/// A switch or tick that changes, in an item or one of its parts, is announced as the state
/// change of that item or part. A client that still counts rows that are gone gets no item.
/// Call before the view is first shown; `actions` must live as long as the view.
void install(QAbstractItemView* view, ItemViewActions* actions);

/// Announces that the keyboard is now on `part` of the item at `index` (on the item itself when
/// `part` is negative), as a control taking focus would.
void announcePartFocus(QAbstractItemView* view, const QModelIndex& index, int part);

/// Announces that the keyboard is now on the header section `section` of the table `view`.
void announceHeaderFocus(QAbstractItemView* view, int section);
} // namespace ItemViewAccessible
