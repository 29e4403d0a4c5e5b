#include "Support/SandboxTest.h"
#include "uadcleanup/UADCleanupManager.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    QString name;
    UADAuthStatus status;
};

struct ParserCase {
    const char* label;
    QString text;
    QList<Expected> expected;
};

// A profile as the vendor's panel writes it: other sections around the one that counts.
const QString kProfile = QStringLiteral("UAD System Profile\n"
                                        "UAD Meter & Control Panel: 11.2\n"
                                        "Neve 1073: Demo expired\n"
                                        "---------------------------\n"
                                        "UAD-2 Plug-in Authorizations: 4 total\n"
                                        "  1176 Classic Limiter Collection: Authorized for all UAD-2 devices\n"
                                        "\tNeve 1073 Preamp & EQ Collection:  Demo expired  \n"
                                        "Pultec Passive EQ Collection: Demo, 14 days remaining\n"
                                        "Lexicon 224 Digital Reverb: Demo not started\n"
                                        "Studer A800: DEMO NOT STARTED\n"
                                        "Ampex ATR-102: Demo\n"
                                        "Manley Massive Passive: unknown state\n"
                                        "No separator here\n"
                                        "Colon:without blank: Demo 3 days\n"
                                        "\n"
                                        "---------------------------\n"
                                        "Fairchild 670: Demo expired\n");

QList<ParserCase> cases()
{
    using S = UADAuthStatus;
    return {
        {"whole profile, section only",
         kProfile,
         {{QStringLiteral("1176 Classic Limiter Collection"), S::authorized()},
          {QStringLiteral("Neve 1073 Preamp & EQ Collection"), S::expired()},
          {QStringLiteral("Pultec Passive EQ Collection"), S::demo(14)},
          {QStringLiteral("Lexicon 224 Digital Reverb"), S::demoNotStarted()},
          {QStringLiteral("Studer A800"), S::demoNotStarted()},
          {QStringLiteral("Ampex ATR-102"), S::demoNotStarted()},
          {QStringLiteral("Colon:without blank"), S::demo(3)}}},
        {"no section", QStringLiteral("Neve 1073: Demo expired\nFoo: Authorized\n"), {}},
        {"second heading text alone opens it",
         QStringLiteral("Plug-in Authorizations\nA: Demo 2 days\n"),
         {{QStringLiteral("A"), S::demo(2)}}},
        {"CR LF lines",
         QStringLiteral("UAD-2 Plug-in Authorizations\r\nA: Demo expired\r\n\r\nB: Authorized\r\n"),
         {{QStringLiteral("A"), S::expired()}, {QStringLiteral("B"), S::authorized()}}},
        {"other line separators",
         QStringLiteral("Plug-in Authorizations\u2028A: Demo expired\u2029B: Demo 1 day"),
         {{QStringLiteral("A"), S::expired()}, {QStringLiteral("B"), S::demo(1)}}},
        {"authorized wins inside a longer word",
         QStringLiteral("Plug-in Authorizations\nA: Demo expired, now unauthorized\n"),
         {{QStringLiteral("A"), S::authorized()}}},
        {"only the first digit run counts",
         QStringLiteral("Plug-in Authorizations\nA: Demo 5 of 30 days\n"),
         {{QStringLiteral("A"), S::demo(5)}}},
        {"a 64-bit number is kept",
         QStringLiteral("Plug-in Authorizations\nA: Demo 9223372036854775807 days\n"),
         {{QStringLiteral("A"), S::demo(9223372036854775807LL)}}},
        {"a number too long for 64 bits is 0",
         QStringLiteral("Plug-in Authorizations\nA: Demo 99999999999999999999999 days\n"),
         {{QStringLiteral("A"), S::demo(0)}}},
        {"digits of another script are 0",
         QStringLiteral("Plug-in Authorizations\nA: Demo \u0661\u0664 days\n"),
         {{QStringLiteral("A"), S::demo(0)}}},
        {"the name keeps blanks before the colon and may be empty",
         QStringLiteral("Plug-in Authorizations\nA  : Demo expired\n: Authorized\n"),
         {{QStringLiteral("A  "), S::expired()}, {QString(), S::authorized()}}},
        {"status text with colons",
         QStringLiteral("Plug-in Authorizations\nA: Demo: 7 days: left\n"),
         {{QStringLiteral("A"), S::demo(7)}}},
        {"a rule before the section is ignored",
         QStringLiteral("---\nPlug-in Authorizations\nA: Demo expired\n"),
         {{QStringLiteral("A"), S::expired()}}},
        {"a repeated heading never becomes an entry",
         QStringLiteral("UAD-2 Plug-in Authorizations: 2\nA: Demo expired\nUAD-2 Plug-in Authorizations: more\n"),
         {{QStringLiteral("A"), S::expired()}}},
        {"empty text", QString(), {}},
    };
}

void expectParsed(const ParserCase& c)
{
    SCOPED_TRACE(c.label);
    const QList<UADPluginAuth> parsed = UADCleanupManager::parsePluginAuthorizations(c.text);
    ASSERT_EQ(parsed.size(), c.expected.size());
    for (qsizetype i = 0; i < parsed.size(); ++i) {
        EXPECT_EQ(parsed[i].name, c.expected[i].name);
        EXPECT_EQ(parsed[i].status, c.expected[i].status) << parsed[i].status.displayString().toStdString();
        EXPECT_TRUE(parsed[i].isSelected);
        EXPECT_FALSE(parsed[i].isAlreadyDisabled);
    }
}

} // namespace

TEST(UADProfileParserTest, ReadsTheAuthorisationSection)
{
    for (const ParserCase& c : cases())
        expectParsed(c);
}

TEST(UADProfileParserTest, EveryLineGetsItsOwnIdentityAndStatusText)
{
    const auto parsed = UADCleanupManager::parsePluginAuthorizations(
        QStringLiteral("Plug-in Authorizations\nA: Demo 1 days\nA: Demo 1 days\n"));
    ASSERT_EQ(parsed.size(), 2);
    EXPECT_NE(parsed[0].id, parsed[1].id);
    EXPECT_FALSE(parsed[0].id.isNull());

    const struct {
        UADAuthStatus status;
        const char* text;
    } texts[] = {{UADAuthStatus::demo(14), "Demo (14 days left)"},
                 {UADAuthStatus::authorized(), "Authorized"},
                 {UADAuthStatus::expired(), "Demo Expired"},
                 {UADAuthStatus::demoNotStarted(), "Demo Not Started"}};
    for (const auto& t : texts)
        EXPECT_EQ(t.status.displayString(), QString::fromUtf8(t.text));
}
