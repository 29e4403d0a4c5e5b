#pragma once

#include <QColor>

#include <optional>

/// What the tray tells its icons about the panel they sit on.
namespace TrayColours {

/// The colour the tray asks monochrome icons to take: X11 trays (the freedesktop system
/// tray) publish it as the foreground of _NET_SYSTEM_TRAY_COLORS on their selection owner.
/// None when the tray publishes nothing, or the helper does not run on X11.
std::optional<QColor> publishedForeground();

} // namespace TrayColours
