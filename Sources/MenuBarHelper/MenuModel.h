#pragma once

#include <QString>

#include <functional>
#include <vector>

/// One entry of the helper's tray menu as plain data, so the menu can be built and checked
/// without a tray; the tray turns a list of these into a QMenu at every opening.
struct MenuItemModel {
    QString title;
    bool enabled = true;
    std::function<void()> action; // empty: the item does nothing when chosen
    int indent = 0;               // indentation level (the new-plug-ins block lists names indented)
    QString key;                  // a lower-case letter for Ctrl+letter; empty for none
    bool separator = false;       // a separator line; the other fields are ignored
    bool heading = false;         // shown in bold (the menu's title line)
    bool information = false;     // a line to read, not a command: never chosen, drawn legibly
    std::vector<MenuItemModel> submenu;

    static MenuItemModel makeSeparator()
    {
        MenuItemModel item;
        item.separator = true;
        return item;
    }
};

using MenuModel = std::vector<MenuItemModel>;
