#pragma once

#include "Platform/UserNotifier.h"

#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class FreedesktopNotifierBus;

/// UserNotifier over org.freedesktop.Notifications on the session bus. The server's
/// click signal reaches every client, so only the ids this process was given count.
class FreedesktopNotifier final : public UserNotifier {
public:
    static constexpr auto kService = "org.freedesktop.Notifications";
    static constexpr auto kPath = "/org/freedesktop/Notifications";
    static constexpr auto kInterface = "org.freedesktop.Notifications";
    static constexpr auto kAppName = "Rackhand";
    static constexpr auto kDefaultAction = "default";

    FreedesktopNotifier();
    ~FreedesktopNotifier() override;
    FreedesktopNotifier(const FreedesktopNotifier&) = delete;
    FreedesktopNotifier& operator=(const FreedesktopNotifier&) = delete;

    void send(const QString& title, const QString& body) override;
    void setActivationHandler(std::function<void()> handler) override;

    /// The body as a server that reads markup shows it literally (& < > escaped).
    static QString escapeBodyMarkup(const QString& body);

private:
    friend class FreedesktopNotifierBus;
    struct Pending {
        QString title;
        QString body;
    };
    void notify(const Pending& notice);
    void capabilitiesKnown(std::optional<bool> bodyMarkup);

    std::unique_ptr<FreedesktopNotifierBus> m_bus;
    std::function<void()> m_onActivate;
    std::optional<bool> m_bodyMarkup; // unknown until the server answered once
    bool m_askingCapabilities = false;
    QList<Pending> m_waiting;
    QSet<uint> m_sentIds;
};
