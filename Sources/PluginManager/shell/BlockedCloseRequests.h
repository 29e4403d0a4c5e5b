#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

/// Qt drops a window manager's close request for a window that a modal sheet blocks (the
/// first-start sheet over the main window), so the window's close button would do nothing.
/// Under X11 this hears such a request for `window` itself and runs `close`; requests for a
/// window no sheet blocks take Qt's own road. Elsewhere it does nothing.
class BlockedCloseRequests final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BlockedCloseRequests)
public:
    BlockedCloseRequests(QWidget* window, std::function<void()> close, QObject* parent = nullptr);
    ~BlockedCloseRequests() override;

    /// False where the display is not X11 (nothing is heard).
    bool isListening() const { return m_deleteWindow != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_close;
    quint32 m_protocols = 0;
    quint32 m_deleteWindow = 0;
};
