#include "shell/UpdateChecker.h"

#include "Platform/UpdateServer.h"
#include "Support/SandboxTest.h"
#include "shell/LocalHttpServer.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

const QString kDefaultDownload = QString::fromLatin1(UpdateServer::kDefaultDownloadURL);

class UpdateCheckerTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_savedServer = qgetenv(UpdateServer::kAddressVariable);
        m_savedVersion = QCoreApplication::applicationVersion();
        ASSERT_TRUE(server.isListening());
        qputenv(UpdateServer::kAddressVariable, server.baseAddress().toUtf8());
    }
    void TearDown() override
    {
        if (m_savedServer.isNull())
            qunsetenv(UpdateServer::kAddressVariable);
        else
            qputenv(UpdateServer::kAddressVariable, m_savedServer);
        QCoreApplication::setApplicationVersion(m_savedVersion);
        SandboxTest::TearDown();
    }

    /// Runs one check and waits for it to end.
    bool check(UpdateChecker& checker, int waitMs = 5000)
    {
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.checkForUpdates();
        return finished.wait(waitMs);
    }

    void answer(int status, const QByteArray& body, const QByteArray& type = "application/json")
    {
        server.status = status;
        server.body = body;
        server.contentType = type;
    }

    LocalHttpServer server;

private:
    QByteArray m_savedServer;
    QString m_savedVersion;
};

struct Published {
    bool available;
    QString version;
    QString url;
    QString notes;
};

void expectPublished(const UpdateChecker& checker, const Published& p)
{
    EXPECT_EQ(checker.updateAvailable(), p.available);
    EXPECT_EQ(checker.latestVersion(), p.version);
    EXPECT_EQ(checker.updateDownloadURL(), p.url);
    EXPECT_EQ(checker.updateReleaseNotes(), p.notes);
}

} // namespace

TEST_F(UpdateCheckerTest, PostsTheVersionAndMachineIdAsJsonToCheckUpdate)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4.0"));
    UpdateChecker checker;
    expectPublished(checker, {false, {}, {}, {}}); // before any answer
    ASSERT_TRUE(check(checker));

    ASSERT_EQ(server.requests().size(), 1);
    const LocalHttpServer::Request& request = server.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/check-update");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_FALSE(request.headers.contains("authorization"));
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body.keys(), (QStringList{QStringLiteral("app_version"), QStringLiteral("hardware_id")}));
    EXPECT_EQ(body.value(QStringLiteral("app_version")).toString(), QStringLiteral("2.4.0"));
    EXPECT_TRUE(body.value(QStringLiteral("hardware_id")).isString());
    // Stable across calls, and not the raw machine id.
    EXPECT_EQ(body.value(QStringLiteral("hardware_id")).toString(), UpdateChecker::machineIdentifier());
    EXPECT_NE(UpdateChecker::machineIdentifier().toUtf8(), QSysInfo::machineUniqueId());
    EXPECT_FALSE(UpdateChecker::machineIdentifier().isEmpty());
}

TEST_F(UpdateCheckerTest, WithoutAVersionSendsZeroesAndAppendsTheEndpointToABasePath)
{
    QCoreApplication::setApplicationVersion(QString());
    qputenv(UpdateServer::kAddressVariable, (server.baseAddress() + QStringLiteral("/api")).toUtf8());
    UpdateChecker checker;
    ASSERT_TRUE(check(checker));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().path, "/api/check-update");
    EXPECT_EQ(QJsonDocument::fromJson(server.requests().first().body).object().value("app_version").toString(),
              QStringLiteral("0.0.0"));
}

TEST_F(UpdateCheckerTest, AppliesEachAnswerShape)
{
    struct Row {
        const char* name;
        int status;
        QByteArray body;
        Published expected;
    };
    const QString allowed = QStringLiteral("https://downloads.rackhand.app/Rackhand-2.5.0.dmg");
    const QList<Row> rows = {
        {"full answer",
         200,
         R"({"update_available":true,"latest_version":"2.5.0","download_url":")" + allowed.toUtf8() +
             R"(","release_notes":"Faster scans","extra":[1,2]})",
         {true, "2.5.0", allowed, "Faster scans"}},
        {"empty object", 200, "{}", {false, {}, kDefaultDownload, {}}},
        {"null members",
         200,
         R"({"update_available":null,"latest_version":null,"download_url":null,"release_notes":null})",
         {false, {}, kDefaultDownload, {}}},
        {"version without the flag", 200, R"({"latest_version":"9.9.9"})", {false, "9.9.9", kDefaultDownload, {}}},
        {"error status with a JSON body",
         500,
         R"({"update_available":true,"latest_version":"3.0"})",
         {true, "3.0", kDefaultDownload, {}}},
        {"plain http download",
         200,
         R"({"update_available":true,"download_url":"http://downloads.rackhand.app/Rackhand.dmg"})",
         {true, {}, kDefaultDownload, {}}},
        {"host in other letter case",
         200,
         R"({"update_available":true,"download_url":"https://Downloads.Rackhand.App/Rackhand.dmg"})",
         {true, {}, kDefaultDownload, {}}},
        {"subdomain",
         200,
         R"({"update_available":true,"download_url":"https://evil.rackhand.app/x.dmg"})",
         {true, {}, kDefaultDownload, {}}},
        {"user info before a trusted host",
         200,
         R"({"update_available":true,"download_url":"https://someone@downloads.rackhand.app/x.dmg"})",
         {true, {}, kDefaultDownload, {}}},
        {"javascript address",
         200,
         R"x({"update_available":true,"download_url":"javascript:alert(1)"})x",
         {true, {}, kDefaultDownload, {}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateChecker checker;
        answer(row.status, row.body);
        ASSERT_TRUE(check(checker));
        expectPublished(checker, row.expected);
        EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
    }
}

TEST_F(UpdateCheckerTest, UndecodableAnswersChangeNothingAndPrintOneLine)
{
    struct Row {
        const char* name;
        int status;
        QByteArray body;
        QByteArray type;
    };
    const QList<Row> rows = {
        {"not JSON", 200, "<html>nope</html>", "text/html"},
        {"error status with a non-JSON body", 404, "Not Found", "text/plain"},
        {"array", 200, "[1,2,3]", "application/json"},
        {"flag of the wrong type", 200, R"({"update_available":"yes"})", "application/json"},
        {"version of the wrong type", 200, R"({"update_available":true,"latest_version":3})", "application/json"},
        {"deeply nested", 200, QByteArray(5000, '[') + QByteArray(5000, ']'), "application/json"},
        {"truncated", 200, R"({"update_available":tr)", "application/json"},
        {"empty body", 200, "", "application/json"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateChecker checker;
        checker.apply({QStringLiteral("2.9"), QStringLiteral("https://rackhand.app/r.dmg"), QStringLiteral("n"), true});
        clearPrintedLines();
        answer(row.status, row.body, row.type);
        ASSERT_TRUE(check(checker));
        expectPublished(checker, {true, "2.9", "https://rackhand.app/r.dmg", "n"});
        ASSERT_EQ(printedLines().size(), 1);
        EXPECT_TRUE(printedLines().first().startsWith(QString::fromUtf8(UpdateChecker::kDiagnosticPrefix)));
    }
}

TEST_F(UpdateCheckerTest, AHugeAnswerIsCutOffWithoutBeingApplied)
{
    UpdateChecker checker;
    QByteArray huge = R"({"update_available":true,"release_notes":")";
    huge += QByteArray(3 * 1024 * 1024, 'x');
    huge += R"("})";
    answer(200, huge);
    ASSERT_TRUE(check(checker, 20000));
    EXPECT_FALSE(checker.updateAvailable());
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_TRUE(printedLines().first().contains(QStringLiteral("larger than")));
}

TEST_F(UpdateCheckerTest, ASlowServerTimesOutAndKeepsEarlierValues)
{
    UpdateChecker checker;
    answer(200, R"({"update_available":true,"latest_version":"2.5.0"})");
    ASSERT_TRUE(check(checker));
    ASSERT_TRUE(checker.updateAvailable());

    server.answer = false;
    checker.setTimeoutMs(200);
    EXPECT_EQ(checker.timeoutMs(), 200);
    ASSERT_TRUE(check(checker, 5000));
    EXPECT_TRUE(checker.updateAvailable()); // a shown banner stays shown
    EXPECT_EQ(checker.latestVersion(), QStringLiteral("2.5.0"));
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_EQ(printedLines().first(),
              QString::fromUtf8(UpdateChecker::kDiagnosticPrefix) + QStringLiteral("The request timed out."));
    EXPECT_EQ(UpdateChecker().timeoutMs(), 15000);
}

TEST_F(UpdateCheckerTest, AServerThatIsDownPrintsOneLine)
{
    const QString address = server.baseAddress();
    server.close();
    qputenv(UpdateServer::kAddressVariable, address.toUtf8());
    UpdateChecker checker;
    ASSERT_TRUE(check(checker));
    expectPublished(checker, {false, {}, {}, {}});
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_TRUE(printedLines().first().startsWith(QString::fromUtf8(UpdateChecker::kDiagnosticPrefix)));
}

TEST_F(UpdateCheckerTest, ABadBaseAddressEndsSilently)
{
    qputenv(UpdateServer::kAddressVariable, "no address at all");
    UpdateChecker checker;
    bool whenDoneRan = false;
    QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
    checker.checkForUpdates(&checker, [&whenDoneRan] { whenDoneRan = true; });
    EXPECT_FALSE(whenDoneRan); // never before checkForUpdates returns
    ASSERT_TRUE(finished.wait(2000));
    EXPECT_TRUE(whenDoneRan);
    EXPECT_TRUE(printedLines().isEmpty());
    EXPECT_EQ(checker.runningChecks(), 0);
}

TEST(UpdateCheckerDownloadRule, EncodesOnlyTheMembersThatAreSet)
{
    UpdateResponse response;
    response.updateAvailable = false;
    response.latestVersion = QStringLiteral("1.0");
    EXPECT_EQ(response.toJson().keys(), (QStringList{"latest_version", "update_available"}));
    const auto decoded = UpdateResponse::decode(QJsonDocument(response.toJson()).toJson());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->latestVersion, response.latestVersion);
    EXPECT_EQ(decoded->updateAvailable, response.updateAvailable);
    EXPECT_FALSE(decoded->downloadURL.has_value());
}
