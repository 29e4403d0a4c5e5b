#include "Platform/MenuBarLoginItem.h"

#include "Platform/Diagnostics.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {

// Stands in when no login-item service was provided: says so instead of crashing.
class MissingLoginItem final : public LoginItem {
public:
    Status status() const override { return Status::notFound; }
    QString registerItem() override { return QStringLiteral("No login-item service is available"); }
    QString unregisterItem() override { return registerItem(); }
    QList<RunningHelper> runningHelpers() const override { return {}; }
    void requestQuit(const RunningHelper&) override {}
    bool launch(const QString&) override { return false; }
};

std::shared_ptr<LoginItem>& serviceSlot()
{
    static std::shared_ptr<LoginItem> service;
    return service;
}

// The caller's service, or the stand-in when it has none.
std::shared_ptr<LoginItem> orMissing(const std::shared_ptr<LoginItem>& service)
{
    return service ? service : std::make_shared<MissingLoginItem>();
}

QString& helperPathOverride()
{
    static QString path;
    return path;
}

QString standardised(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

// A helper asked to quit holds this session's helper name until it has gone, and a new one
// started meanwhile would find the name taken and step aside, leaving no helper at all: the
// start waits for the asked ones to go (a few seconds at most).
void launchOnceGone(const std::shared_ptr<LoginItem>& service, const QString& path, const QList<qint64>& asked,
                    const QDeadlineTimer& deadline, int delayMs)
{
    QTimer::singleShot(delayMs, QCoreApplication::instance(), [service, path, asked, deadline] {
        LoginItem& login = *service;
        const QList<LoginItem::RunningHelper> running = login.runningHelpers();
        const bool stillThere = std::any_of(running.cbegin(), running.cend(),
                                            [&asked](const auto& helper) { return asked.contains(helper.pid); });
        if (stillThere && !deadline.hasExpired()) {
            launchOnceGone(service, path, asked, deadline, MenuBarLoginItem::kQuitPollMs);
            return;
        }
        if (!login.launch(path))
            Diagnostics::print(QStringLiteral("MenuBarLoginItem: Could not start ") + path);
    });
}

void terminateHelper(LoginItem& service)
{
    const QList<LoginItem::RunningHelper> running = service.runningHelpers();
    for (const LoginItem::RunningHelper& helper : running)
        service.requestQuit(helper);
}

} // namespace

LoginItem& MenuBarLoginItem::service()
{
    auto& slot = serviceSlot();
    if (!slot)
        slot = std::make_shared<MissingLoginItem>();
    return *slot;
}

void MenuBarLoginItem::setService(std::shared_ptr<LoginItem> service)
{
    serviceSlot() = std::move(service);
}

void MenuBarLoginItem::clearService(const LoginItem* service)
{
    if (serviceSlot().get() == service)
        serviceSlot().reset();
}

QString MenuBarLoginItem::helperPath()
{
    if (!helperPathOverride().isEmpty())
        return helperPathOverride();
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QString::fromLatin1(kExecutableName);
}

void MenuBarLoginItem::setHelperPathOverride(const QString& path)
{
    helperPathOverride() = path;
}

bool MenuBarLoginItem::isEnabled(const std::shared_ptr<LoginItem>& service)
{
    return service && service->status() == LoginItem::Status::enabled;
}

void MenuBarLoginItem::setEnabled(const std::shared_ptr<LoginItem>& service, bool enabled)
{
    const std::shared_ptr<LoginItem> login = orMissing(service);
    const QString problem = enabled ? login->registerItem() : login->unregisterItem();
    if (!problem.isEmpty()) {
        Diagnostics::print(QStringLiteral("MenuBarLoginItem: Failed to ") +
                           (enabled ? QStringLiteral("register") : QStringLiteral("unregister")) +
                           QStringLiteral(": ") + problem);
        return;
    }
    if (enabled)
        launchHelperNow(login);
    else
        terminateHelper(*login);
}

void MenuBarLoginItem::launchHelperNow(const std::shared_ptr<LoginItem>& service)
{
    const QString path = helperPath();
    if (!QFileInfo(path).isFile()) {
        // The helper program is built separately; say so instead of failing silently.
        Diagnostics::print(QStringLiteral("MenuBarLoginItem: Helper not found at ") + path);
        return;
    }
    const std::shared_ptr<LoginItem> owner = orMissing(service);
    LoginItem& login = *owner;
    const QList<LoginItem::RunningHelper> running = login.runningHelpers();
    if (running.size() == 1 && !running.first().executablePath.isEmpty() &&
        standardised(running.first().executablePath) == standardised(path))
        return;
    QList<qint64> asked;
    for (const LoginItem::RunningHelper& helper : running) {
        login.requestQuit(helper);
        asked.append(helper.pid);
    }
    launchOnceGone(owner, path, asked, QDeadlineTimer(kLaunchDelayMs + kQuitWaitMs), kLaunchDelayMs);
}
