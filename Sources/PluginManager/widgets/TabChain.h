#pragma once

#include <QList>

class QWidget;

/// Places in the Tab chain for widgets made after the widgets around them (a section's body
/// filled when it opens, chips made as formats come and go): Qt appends those to the chain's end.
namespace TabChain {
/// The widgets inside `root` (itself included) that take focus, in their order in the chain.
QList<QWidget*> stops(QWidget* root);
/// Moves `widgets`, in their order, to follow `anchor` in the Tab chain.
void placeAfter(QWidget* anchor, const QList<QWidget*>& widgets);
} // namespace TabChain
