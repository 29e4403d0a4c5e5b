#include "MenuBarHelper/TrayColours.h"

#include <QGuiApplication>
#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(xcb) && defined(RACKHAND_HAVE_XCB)
#define RACKHAND_TRAY_COLOURS_X11 1
#include <QByteArray>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>
#endif

namespace TrayColours {

#ifdef RACKHAND_TRAY_COLOURS_X11
namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// The X screen of $DISPLAY (":0.1" is screen 1); the tray's selection is per screen.
int screenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    bool ok = false;
    const int number = dot > colon ? display.mid(dot + 1).toInt(&ok) : 0;
    return ok ? number : 0;
}

// An atom that already exists: asking must not create one on the server.
xcb_atom_t existingAtom(xcb_connection_t* connection, const QByteArray& name)
{
    const ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.constData()), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace
#endif

std::optional<QColor> publishedForeground()
{
#ifdef RACKHAND_TRAY_COLOURS_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    const xcb_atom_t tray = existingAtom(connection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber()));
    const xcb_atom_t colours = existingAtom(connection, "_NET_SYSTEM_TRAY_COLORS");
    if (tray == XCB_ATOM_NONE || colours == XCB_ATOM_NONE)
        return std::nullopt;
    const ReplyPtr<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, tray), nullptr), &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE)
        return std::nullopt;
    // Twelve cardinals: foreground, error, warning and success, each red, green, blue of 16 bits.
    const ReplyPtr<xcb_get_property_reply_t> property(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, owner->owner, colours, XCB_ATOM_CARDINAL, 0, 12), nullptr),
        &std::free);
    if (!property || property->format != 32 || xcb_get_property_value_length(property.get()) < 3 * 4)
        return std::nullopt;
    const auto* value = static_cast<const quint32*>(xcb_get_property_value(property.get()));
    return QColor(QRgba64::fromRgba64(quint16(value[0]), quint16(value[1]), quint16(value[2]), 0xffff));
#else
    return std::nullopt;
#endif
}

} // namespace TrayColours
