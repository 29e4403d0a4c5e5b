#include "MenuBarHelper/HelperUpdateCheck.h"
#include "Platform/RackhandBus.h"
#include "Platform/UpdateServer.h"
#include "Support/Eventually.h"
#include "helper/HelperFixture.h"
#include "shell/LocalHttpServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray answer(const char* latest, const char* download)
{
    QJsonObject object{{QStringLiteral("latest_version"), QString::fromLatin1(latest)}};
    if (download)
        object.insert(QStringLiteral("download_url"), QString::fromLatin1(download));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void makeExecutable(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

} // namespace

class HelperUpdateTest : public HelperTest {
protected:
    void SetUp() override
    {
        HelperTest::SetUp();
        ASSERT_TRUE(server.isListening());
        qputenv(UpdateServer::kAddressVariable, server.baseAddress().toUtf8());
    }
    /// Starts the helper (whose start-up checks once) and waits for that answer.
    void startAndWait()
    {
        start();
        QSignalSpy changes(delegate.get(), &MenuBarAppDelegate::menuChanged);
        ASSERT_TRUE(changes.wait(5000));
    }
    void checkAgainAndWait()
    {
        QSignalSpy changes(delegate.get(), &MenuBarAppDelegate::menuChanged);
        delegate->checkForUpdatesManually();
        ASSERT_TRUE(changes.wait(5000));
    }

    LocalHttpServer server;
};

TEST_F(HelperUpdateTest, RequestCarriesTheVersion)
{
    server.body = answer("1.9", "https://rackhand.app/get");
    startAndWait();
    ASSERT_EQ(server.requests().size(), 1);
    const LocalHttpServer::Request& request = server.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/check-update");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object(),
              (QJsonObject{{QStringLiteral("app_version"), QStringLiteral("1.9")}}));
    // The current version: known, but no item and no notice.
    EXPECT_EQ(delegate->latestVersion(), std::optional<QString>(QStringLiteral("1.9")));
    EXPECT_FALSE(titles().join(QLatin1Char('\n')).contains(QStringLiteral("Update Available")));
    EXPECT_TRUE(notifier->sent().isEmpty());
}

TEST_F(HelperUpdateTest, NewerVersionIsAnnouncedOnce)
{
    server.body = answer("2.0", "https://downloads.rackhand.app/Rackhand-2.0.dmg");
    startAndWait();
    EXPECT_TRUE(titles().contains(QStringLiteral("⬆️ Update Available: v2.0")));
    ASSERT_EQ(notifier->sent().size(), 1);
    EXPECT_EQ(notifier->sent().first().title, QStringLiteral("Rackhand 2.0 Available"));
    EXPECT_EQ(notifier->sent().first().body, QStringLiteral("A new version is ready. Click to download."));
    EXPECT_EQ(delegate->updateDownloadURL(), QStringLiteral("https://downloads.rackhand.app/Rackhand-2.0.dmg"));

    checkAgainAndWait();
    EXPECT_EQ(notifier->sent().size(), 1) << "the same version again";
    server.body = answer("2.1", "https://downloads.rackhand.app/Rackhand-2.1.dmg");
    checkAgainAndWait();
    EXPECT_EQ(notifier->sent().size(), 1) << "a newer one while one is pending";
    EXPECT_TRUE(titles().contains(QStringLiteral("⬆️ Update Available: v2.1")));

    // A click on the notice opens the main application.
    notifier->click();
    EXPECT_EQ(launcher->desktopEntries(), QStringList{QString::fromLatin1(RackhandBus::kDesktopId)});
}

TEST_F(HelperUpdateTest, UnusableAnswersChangeNothing)
{
    const QByteArray rows[] = {answer("2.0", nullptr), "[\"2.0\"]", "{\"latest_version\": 2, \"download_url\": \"x\"}",
                               "not json"};
    for (const QByteArray& body : rows) {
        SCOPED_TRACE(body.toStdString());
        server.body = body;
        const qsizetype before = server.requests().size();
        start();
        RACKHAND_ASSERT_EVENTUALLY_EQ(server.requests().size(), before + 1, 5000);
        QTest::qWait(200);
        EXPECT_FALSE(delegate->latestVersion().has_value());
        EXPECT_EQ(delegate->updateDownloadURL(), QString::fromLatin1(UpdateServer::kDefaultDownloadURL));
        EXPECT_TRUE(notifier->sent().isEmpty());
        delegate.reset();
    }
}

TEST_F(HelperUpdateTest, AnUntrustedDownloadAddressFallsBackToTheDefault)
{
    const QString fallback = QString::fromLatin1(UpdateServer::kDefaultDownloadURL);
    // An untrusted address still offers the update, with the default address.
    server.body = answer("2.0", "file:///etc/passwd");
    startAndWait();
    EXPECT_EQ(delegate->updateDownloadURL(), fallback);
    EXPECT_EQ(notifier->sent().size(), 1);
    item(QStringLiteral("⬆️ Update Available: v2.0"))->action();
    ASSERT_EQ(workspace->opened().size(), 1);
    EXPECT_EQ(workspace->opened().first(), QUrl(fallback));
}

TEST_F(HelperUpdateTest, LaunchOfTheNewVersionClearsTheOffer)
{
    server.body = answer("2.0", "https://rackhand.app/get");
    startAndWait();
    const struct {
        QVariantMap info;
        bool cleared;
    } rows[] = {{{{QStringLiteral("version"), QStringLiteral("1.9")}}, false},
                {{{QStringLiteral("version"), 2}}, false},
                {{}, false},
                {{{QStringLiteral("version"), QStringLiteral("2.0")}}, true}};
    for (const auto& row : rows) {
        center->post(QString::fromLatin1(RackhandBus::kAppDidLaunch), row.info);
        EXPECT_EQ(titles().contains(QStringLiteral("⬆️ Update Available: v2.0")), !row.cleared);
        EXPECT_EQ(delegate->latestVersion().has_value(), !row.cleared);
    }
}

TEST_F(HelperUpdateTest, OpeningTheMainApplication)
{
    server.answer = false;
    start();
    const QString installed = MenuBarAppDelegate::installedMainAppPath();
    const QString beside = root() + QStringLiteral("/helper-bin/Rackhand");
    EXPECT_TRUE(installed.startsWith(root() + QLatin1Char('/'))) << "inside the sandbox root";

    item(QStringLiteral("Open Rackhand"))->action();
    EXPECT_EQ(launcher->desktopEntries(), QStringList{QString::fromLatin1(RackhandBus::kDesktopId)});
    EXPECT_TRUE(launcher->executables().isEmpty());

    makeExecutable(beside);
    delegate->openMainApp();
    EXPECT_EQ(launcher->executables(), QStringList{beside});

    makeExecutable(installed);
    delegate->openMainApp();
    EXPECT_EQ(launcher->executables(), (QStringList{beside, installed}));
}
