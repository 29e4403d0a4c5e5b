#include "Platform/linux/FreedesktopNotifier.h"

#include "Platform/RackhandBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <utility>

/// The bus side: pending-call watchers and the two server signals need a QObject.
class FreedesktopNotifierBus final : public QObject {
    Q_OBJECT
public:
    explicit FreedesktopNotifierBus(FreedesktopNotifier& owner) : m_owner(owner) {}

    bool ensureConnected()
    {
        if (m_connected)
            return true;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return false;
        const QString service = QString::fromLatin1(FreedesktopNotifier::kService);
        const QString path = QString::fromLatin1(FreedesktopNotifier::kPath);
        const QString iface = QString::fromLatin1(FreedesktopNotifier::kInterface);
        bus.connect(service, path, iface, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
        bus.connect(service, path, iface, QStringLiteral("NotificationClosed"), this, SLOT(closed(uint, uint)));
        m_connected = true;
        return true;
    }

    QDBusMessage call(const QString& method) const
    {
        return QDBusMessage::createMethodCall(QString::fromLatin1(FreedesktopNotifier::kService),
                                              QString::fromLatin1(FreedesktopNotifier::kPath),
                                              QString::fromLatin1(FreedesktopNotifier::kInterface), method);
    }

    void askCapabilities()
    {
        auto* watcher = new QDBusPendingCallWatcher(
            QDBusConnection::sessionBus().asyncCall(call(QStringLiteral("GetCapabilities"))), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<QStringList> reply = *w;
            w->deleteLater();
            if (reply.isError())
                m_owner.capabilitiesKnown(std::nullopt);
            else
                m_owner.capabilitiesKnown(reply.value().contains(QStringLiteral("body-markup")));
        });
    }

    void notify(const QString& title, const QString& body)
    {
        QDBusMessage message = call(QStringLiteral("Notify"));
        const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
                                {QStringLiteral("desktop-entry"), QString::fromLatin1(RackhandBus::kHelperDesktopId)}};
        message << QString::fromLatin1(FreedesktopNotifier::kAppName) << uint(0)
                << QString::fromLatin1(RackhandBus::kDesktopId) << title << body
                << QStringList{QString::fromLatin1(FreedesktopNotifier::kDefaultAction),
                               QStringLiteral("Open Rackhand")}
                << hints << int(-1);
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<uint> reply = *w;
            w->deleteLater();
            if (!reply.isError())
                m_owner.m_sentIds.insert(reply.value());
        });
    }

public Q_SLOTS:
    void actionInvoked(uint id, const QString& action)
    {
        // Every client hears every click: act only on our own notices.
        if (!m_owner.m_sentIds.contains(id) || action != QLatin1String(FreedesktopNotifier::kDefaultAction))
            return;
        if (m_owner.m_onActivate)
            m_owner.m_onActivate();
    }
    void closed(uint id, uint reason)
    {
        (void)reason;
        m_owner.m_sentIds.remove(id);
    }

private:
    FreedesktopNotifier& m_owner;
    bool m_connected = false;
};

FreedesktopNotifier::FreedesktopNotifier() : m_bus(std::make_unique<FreedesktopNotifierBus>(*this)) {}

FreedesktopNotifier::~FreedesktopNotifier() = default;

void FreedesktopNotifier::setActivationHandler(std::function<void()> handler)
{
    m_onActivate = std::move(handler);
}

QString FreedesktopNotifier::escapeBodyMarkup(const QString& body)
{
    QString escaped;
    escaped.reserve(body.size());
    for (const QChar c : body) {
        if (c == QLatin1Char('&'))
            escaped += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QStringLiteral("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

void FreedesktopNotifier::send(const QString& title, const QString& body)
{
    if (!m_bus->ensureConnected())
        return;
    if (m_bodyMarkup.has_value()) {
        notify({title, body});
        return;
    }
    // Whether the body must be escaped depends on the server: ask once, hold notices meanwhile.
    m_waiting.append({title, body});
    if (!m_askingCapabilities) {
        m_askingCapabilities = true;
        m_bus->askCapabilities();
    }
}

void FreedesktopNotifier::capabilitiesKnown(std::optional<bool> bodyMarkup)
{
    m_askingCapabilities = false;
    const QList<Pending> waiting = std::exchange(m_waiting, {});
    // No answer: no notification server is running, so the held notices are dropped
    // and the next notice asks again.
    if (!bodyMarkup)
        return;
    m_bodyMarkup = bodyMarkup;
    for (const Pending& notice : waiting)
        notify(notice);
}

void FreedesktopNotifier::notify(const Pending& notice)
{
    m_bus->notify(notice.title, *m_bodyMarkup ? escapeBodyMarkup(notice.body) : notice.body);
}

#include "FreedesktopNotifier.moc"
