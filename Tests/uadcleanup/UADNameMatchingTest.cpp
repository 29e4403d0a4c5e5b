#include "Support/SandboxTest.h"
#include "uadcleanup/UADCleanupManager.h"
#include "uadcleanup/UADMatchingCorpus.h"
#include "uadcleanup/UADNameMatcher.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

AudioPlugin row(const QString& name, bool enabled = true)
{
    AudioPlugin plugin;
    plugin.id = QUuid::createUuid();
    plugin.name = name;
    plugin.manufacturer = QStringLiteral("Universal Audio");
    plugin.isEnabled = enabled;
    return plugin;
}

QList<AudioPlugin> rows(const QStringList& names)
{
    QList<AudioPlugin> list;
    for (const QString& name : names)
        list.append(row(name));
    return list;
}

QStringList names(const QList<AudioPlugin>& plugins)
{
    QStringList list;
    for (const AudioPlugin& plugin : plugins)
        list.append(plugin.name);
    return list;
}

QSet<QString> set(const QStringList& words)
{
    return QSet<QString>(words.cbegin(), words.cend());
}

struct MatchCase {
    const char* label;
    QString profileName;
    QStringList catalogue;
    QStringList expected;
};

} // namespace

TEST(UADNameMatchingTest, TokensKeepTheIdentifyingWords)
{
    const struct {
        QString text;
        QStringList tokens;
    } cases[] = {
        {QStringLiteral("UAD Neve 1073 Preamp & EQ Collection"),
         {QStringLiteral("neve"), QStringLiteral("1073"), QStringLiteral("preamp"), QStringLiteral("eq"),
          QStringLiteral("col")}},
        {QStringLiteral("The Classic Stereo Reverb & a Delay"), {}},
        // The word map runs after the stop words: a limiter is dropped, never shortened.
        {QStringLiteral("Mastering Limiter Compressor"), {QStringLiteral("mast"), QStringLiteral("comp")}},
        {QStringLiteral("uad Fairchild"), {QStringLiteral("uad"), QStringLiteral("fairchild")}},
        {QStringLiteral("Ampeg SVT-3 Pro"), {QStringLiteral("ampeg"), QStringLiteral("svt"), QStringLiteral("pro")}},
        {QStringLiteral("Brüel Kjær Mikrofon"),
         {QStringLiteral("brüel"), QStringLiteral("kjær"), QStringLiteral("mikrofon")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(UADCleanupManager::tokens(c.text), set(c.tokens));
    }
}

TEST(UADNameMatchingTest, MatchesProfileNamesToCatalogueRows)
{
    const QList<MatchCase> cases{
        {"explicit mapping, every prefix, no fuzzy test",
         QStringLiteral("Neve Dynamics Collection"),
         {QStringLiteral("UAD Neve 2254"), QStringLiteral("UAD Neve 33609"), QStringLiteral("UAD Neve 33609(m)"),
          QStringLiteral("UAD Neve Dynamics")},
         {QStringLiteral("UAD Neve 2254"), QStringLiteral("UAD Neve 33609"), QStringLiteral("UAD Neve 33609(m)")}},
        {"explicit mapping in any letter case, without the UAD prefix rule",
         QStringLiteral("NEVE DYNAMICS"),
         {QStringLiteral("UAD Neve 2254 Limiter")},
         {QStringLiteral("UAD Neve 2254 Limiter")}},
        {"the equaliser named after its maker",
         QStringLiteral("Massenburg DesignWorks MDWEQ5"),
         {QStringLiteral("UAD MDWEQ5-3B"), QStringLiteral("UAD MDWEQ5-5B")},
         {QStringLiteral("UAD MDWEQ5-3B"), QStringLiteral("UAD MDWEQ5-5B")}},
        {"explicit prefixes that match nothing fall through",
         QStringLiteral("Friedman Amplifiers BE100"),
         {QStringLiteral("UAD BE100 Friedman")},
         {QStringLiteral("UAD BE100 Friedman")}},
        {"equal names, all formats and the mono variant",
         QStringLiteral("Pultec EQP-1A"),
         {QStringLiteral("UAD Pultec EQP-1A"), QStringLiteral("UAD Pultec EQP-1A"),
          QStringLiteral("UAD Pultec EQP-1A(m)"), QStringLiteral("UAD Pultec MEQ-5")},
         {QStringLiteral("UAD Pultec EQP-1A"), QStringLiteral("UAD Pultec EQP-1A"),
          QStringLiteral("UAD Pultec EQP-1A(m)")}},
        {"a mono bundle spelt with a blank keeps the best row",
         QStringLiteral("LA-2A Gray"),
         {QStringLiteral("UAD LA-2A Gray (m)"), QStringLiteral("UAD LA-2A Gray")},
         {QStringLiteral("UAD LA-2A Gray (m)"), QStringLiteral("UAD LA-2A Gray")}},
        {"the profile name begins with the row's name",
         QStringLiteral("Lexicon 224 Digital Reverb"),
         {QStringLiteral("UAD Lexicon 224")},
         {QStringLiteral("UAD Lexicon 224")}},
        {"the row's name begins with the profile name",
         QStringLiteral("Studer A800"),
         {QStringLiteral("UAD Studer A800 Multichannel Tape Recorder")},
         {QStringLiteral("UAD Studer A800 Multichannel Tape Recorder")}},
        {"short names never match by prefix",
         QStringLiteral("1176"),
         {QStringLiteral("UAD 1176LN Legacy"), QStringLiteral("UAD 1176")},
         {QStringLiteral("UAD 1176")}},
        {"short row names never match by prefix", QStringLiteral("Neve 88RS"), {QStringLiteral("UAD Neve")}, {}},
        {"words in any order",
         QStringLiteral("Manley Massive Passive EQ"),
         {QStringLiteral("UAD Massive Passive Manley")},
         {QStringLiteral("UAD Massive Passive Manley")}},
        {"an equal name beats an earlier word match",
         QStringLiteral("Fairchild 670"),
         {QStringLiteral("UAD 670 Fairchild"), QStringLiteral("UAD Fairchild 670")},
         {QStringLiteral("UAD Fairchild 670")}},
        {"of word matches the last wins",
         QStringLiteral("Neve 1073 Preamp EQ Collection"),
         {QStringLiteral("UAD Neve 1073 EQ"), QStringLiteral("UAD Neve 1073 Preamp")},
         {QStringLiteral("UAD Neve 1073 Preamp")}},
        {"one shared word is not enough", QStringLiteral("Neve 1081"), {QStringLiteral("UAD Neve 1073")}, {}},
        {"rows without the UAD prefix never match by name",
         QStringLiteral("Pultec EQP-1A"),
         {QStringLiteral("Pultec EQP-1A"), QStringLiteral("UADPultec EQP-1A")},
         {}},
        {"an empty catalogue", QStringLiteral("Pultec EQP-1A"), {}, {}},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(names(UADCleanupManager::matchedDBPlugins(c.profileName, rows(c.catalogue))), c.expected);
    }
}

TEST(UADNameMatchingTest, ReturnsTheGivenRowsThemselvesInTheirOrder)
{
    const QList<AudioPlugin> catalogue{row(QStringLiteral("UAD Pultec EQP-1A(m)")), row(QStringLiteral("UAD Other")),
                                       row(QStringLiteral("UAD Pultec EQP-1A"), false)};
    const QList<AudioPlugin> matched = UADCleanupManager::matchedDBPlugins(QStringLiteral("Pultec EQP-1A"), catalogue);
    ASSERT_EQ(matched.size(), 2);
    EXPECT_EQ(matched[0].id, catalogue[0].id);
    EXPECT_EQ(matched[1].id, catalogue[2].id);
    EXPECT_FALSE(matched[1].isEnabled);
}

// --- The prepared catalogue against the rules as they stood, pair by pair ---

namespace {

QList<QUuid> ids(const QList<AudioPlugin>& plugins)
{
    QList<QUuid> list;
    for (const AudioPlugin& plugin : plugins)
        list.append(plugin.id);
    return list;
}

} // namespace

TEST(UADNameMatchingTest, ThePreparedCatalogueGivesTheRowsThePairByPairRulesGive)
{
    const GeneratedCatalogue generated(20000, 160);
    ASSERT_EQ(generated.rows.size(), 20000);
    const UADNameMatcher matcher(generated.rows);
    QHash<PairByPair::Stage, int> stages;
    int severalRows = 0;
    for (const QString& name : generated.profileNames) {
        SCOPED_TRACE(name.toStdString());
        PairByPair::Stage stage{};
        const QList<AudioPlugin> expected = PairByPair::matchedDBPlugins(name, generated.rows, stage);
        ++stages[stage];
        severalRows += expected.size() > 1 ? 1 : 0;
        EXPECT_EQ(ids(matcher.matches(name)), ids(expected));
    }
    // Every rule decided a fair share of the names.
    for (const auto stage : {PairByPair::Stage::explicitMapping, PairByPair::Stage::name, PairByPair::Stage::tokens,
                             PairByPair::Stage::none}) {
        SCOPED_TRACE(static_cast<int>(stage));
        EXPECT_GE(stages.value(stage), 10);
    }
    EXPECT_GE(severalRows, 40);
}
