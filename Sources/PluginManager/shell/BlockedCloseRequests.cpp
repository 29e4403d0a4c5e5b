#include "shell/BlockedCloseRequests.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

quint32 atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return 0;
    const quint32 found = reply->atom;
    std::free(reply);
    return found;
}

} // namespace

BlockedCloseRequests::BlockedCloseRequests(QWidget* window, std::function<void()> close, QObject* parent)
    : QObject(parent), m_window(window), m_close(std::move(close))
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_protocols = atom(x11->connection(), "WM_PROTOCOLS");
    m_deleteWindow = atom(x11->connection(), "WM_DELETE_WINDOW");
    if (m_protocols && m_deleteWindow)
        QCoreApplication::instance()->installNativeEventFilter(this);
    else
        m_deleteWindow = 0;
}

BlockedCloseRequests::~BlockedCloseRequests()
{
    if (isListening() && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool BlockedCloseRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !m_window || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* request = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (request->format != 32 || request->type != m_protocols || request->data.data32[0] != m_deleteWindow)
        return false;
    QWindow* handle = m_window->windowHandle();
    if (!handle || request->window != static_cast<xcb_window_t>(handle->winId()))
        return false;
    // Only a request Qt would drop: one for a window that a modal sheet blocks.
    QWindow* modal = QGuiApplication::modalWindow();
    if (!modal || modal == handle)
        return false;
    QTimer::singleShot(0, this, [this] {
        if (m_close)
            m_close();
    });
    return true;
}
