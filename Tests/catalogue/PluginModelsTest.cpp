#include "catalogue/PluginModels.h"

#include "Support/SandboxTest.h"

#include <QJsonDocument>

#include <cmath>

namespace {

AudioPlugin samplePlugin()
{
    return AudioPlugin{QUuid::fromString(QStringLiteral("{0F8FAD5B-D9CB-469F-A165-70867728950E}")),
                       QStringLiteral("Tape Echo"),
                       QStringLiteral("Acme"),
                       PluginFormat::vst3,
                       QStringLiteral("/a/Tape Echo.vst3"),
                       QStringLiteral("/a/Tape Echo.vst3"),
                       true,
                       std::nullopt,
                       std::nullopt,
                       std::nullopt};
}

} // namespace

// The symbols are shared by the list's format column and the sidebar's format rows.
TEST(PluginFormatTest, CasesRawValuesSymbolsAndDecoding)
{
    const QStringList expected{"Audio Units", "VST3", "VST", "AAX", "CLAP", "Waves"};
    const QStringList expectedSymbols{"waveform", "cube", "square", "hexagon", "diamond", "w.circle"};
    QStringList actual;
    QStringList symbols;
    for (PluginFormat f : PluginFormats::allCases) {
        actual << PluginFormats::rawValue(f);
        symbols << PluginFormats::symbolName(f);
    }
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(symbols, expectedSymbols);
    EXPECT_EQ(PluginFormats::fromRawValue(QStringLiteral("VST")), PluginFormat::vst2);
    EXPECT_FALSE(PluginFormats::fromRawValue(QStringLiteral("vst")));
    EXPECT_FALSE(PluginFormats::fromRawValue(QStringLiteral(" VST")));
}

class PluginFormatPathsTest : public SandboxTest {};

TEST_F(PluginFormatPathsTest, SystemPathsAreRootThenHome)
{
    EXPECT_TRUE(PluginFormats::systemPaths(PluginFormat::wavesBundle).isEmpty());
    const QString avid = QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins");
    EXPECT_EQ(PluginFormats::systemPaths(PluginFormat::aax), (QStringList{sys(avid), usr(avid)}));
}

TEST(AudioPluginTest, LastUsedValueEdges)
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    struct Row {
        const char* name;
        std::optional<qint64> ageSeconds;
        const char* text;
    };
    const qint64 h = 3600;
    const qint64 d = 86400;
    const Row rows[] = {
        {"none", std::nullopt, "Unknown"},    {"23 hours", 23 * h, "Today"},
        {"25 hours", 25 * h, "Yesterday"},    {"6 days", 6 * d, "6 days ago"},
        {"7 days", 7 * d, "1 weeks ago"},     {"29 days", 29 * d, "4 weeks ago"},
        {"30 days", 30 * d, "1 months ago"},  {"364 days", 364 * d, "12 months ago"},
        {"365 days", 365 * d, "1 years ago"}, {"36 hours ahead", -36 * h, "-1 days ago"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AudioPlugin plugin = samplePlugin();
        if (row.ageSeconds)
            plugin.lastUsed = now.addSecs(-*row.ageSeconds);
        EXPECT_EQ(plugin.lastUsedValue(now), QString::fromUtf8(row.text));
    }
}

TEST(AudioPluginTest, DisplayTextsAndKey)
{
    AudioPlugin plugin = samplePlugin();
    EXPECT_EQ(plugin.statusValue(), QStringLiteral("Enabled"));
    EXPECT_EQ(plugin.versionValue(), QStringLiteral("Unknown"));
    plugin.version = QString();
    EXPECT_EQ(plugin.versionValue(), QString());
    plugin.isEnabled = false;
    EXPECT_EQ(plugin.statusValue(), QStringLiteral("Disabled"));
    EXPECT_EQ(plugin.key(), QStringLiteral("Tape Echo|VST3"));
    EXPECT_EQ(pluginKey(QStringLiteral("A|B"), PluginFormat::vst3), QStringLiteral("A|B|VST3"));
}

TEST(AudioPluginTest, JsonOmitsAbsentOptionalsAndRoundTrips)
{
    AudioPlugin plugin = samplePlugin();
    QJsonObject json = plugin.toJson();
    EXPECT_EQ(json.keys(),
              (QStringList{"currentPath", "format", "id", "isEnabled", "manufacturer", "name", "originalPath"}));
    EXPECT_EQ(json.value("id").toString(), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    plugin.version = QStringLiteral("1.2");
    plugin.lastUsed = QDateTime::fromSecsSinceEpoch(978307200 + 100, Qt::UTC);
    json = plugin.toJson();
    EXPECT_EQ(json.value("lastUsed").toDouble(), 100.0);
    const auto back = AudioPlugin::fromJson(json);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->version, plugin.version);
    EXPECT_EQ(back->lastUsed, plugin.lastUsed);

    for (const char* member : {"id", "name", "format", "isEnabled"}) {
        SCOPED_TRACE(member);
        QJsonObject broken = json;
        broken.remove(QLatin1String(member));
        DecodeError error;
        EXPECT_FALSE(AudioPlugin::fromJson(broken, &error));
        EXPECT_FALSE(error.message.isEmpty());
    }
    json.insert("format", "vst3");
    EXPECT_FALSE(AudioPlugin::fromJson(json));
}

TEST(PluginModelsTest, JsonDatesSurviveHostileNumbers)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    struct Row {
        const char* name;
        double seconds;
        int expectedSign; // compared with now
    };
    const Row rows[] = {
        {"far future", 1e300, 1},
        {"far past", -1e300, -1},
        {"max double", 1.7976931348623157e308, 1},
        {"ordinary", 700000000.5, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QDateTime date = dateFromJsonSeconds(row.seconds);
        ASSERT_TRUE(date.isValid());
        EXPECT_EQ(date > now ? 1 : -1, row.expectedSign);
        QJsonObject json = samplePlugin().toJson();
        json.insert("lastUsed", row.seconds);
        const auto plugin = AudioPlugin::fromJson(json);
        ASSERT_TRUE(plugin);
        EXPECT_EQ(plugin->lastUsed, date);
    }
    EXPECT_EQ(dateFromJsonSeconds(700000000.5).toMSecsSinceEpoch(), (978307200LL + 700000000) * 1000 + 500);
    EXPECT_EQ(dateFromJsonSeconds(std::nan("")), QDateTime::fromSecsSinceEpoch(978307200, Qt::UTC));
}

TEST(PluginModelsTest, BadgeLabelErrorTextsAndTransfer)
{
    ConsolidatedPlugin::FormatVariant waves{QUuid::createUuid(), PluginFormat::wavesBundle, true, std::nullopt};
    EXPECT_EQ(waves.badgeLabel(), QStringLiteral("Waves"));
    waves.version = QStringLiteral("V15");
    EXPECT_EQ(waves.badgeLabel(), QStringLiteral("V15"));
    const ConsolidatedPlugin::FormatVariant au{QUuid::createUuid(), PluginFormat::au, true, QStringLiteral("2.0")};
    EXPECT_EQ(au.badgeLabel(), QStringLiteral("Audio Units"));

    EXPECT_EQ(PluginError::fileNotFound(QStringLiteral("/tmp/x")).errorDescription(),
              QStringLiteral("File not found: /tmp/x"));
    EXPECT_EQ(PluginError::fileNotFound(QString()).errorDescription(), QStringLiteral("File not found: "));
    EXPECT_EQ(PluginError::permissionDenied(QStringLiteral("x")).errorDescription(),
              QStringLiteral("Permission denied: x"));

    EXPECT_EQ(PluginKeyTransfer{}.toJson(), QByteArray(R"({"keys":[]})"));
    const PluginKeyTransfer transfer{{QStringLiteral("A|VST3"), QStringLiteral("B|Audio Units")}};
    EXPECT_EQ(PluginKeyTransfer::fromJson(transfer.toJson()), transfer);
}

TEST(PluginModelsTest, FavoritesListRequiresAllMembers)
{
    FavoritesList list{QUuid::createUuid(),
                       QStringLiteral("Mix"),
                       QDateTime::fromSecsSinceEpoch(978307200, Qt::UTC),
                       {QStringLiteral("A|VST3")}};
    const QJsonObject json = list.toJson();
    EXPECT_EQ(json.value("createdAt").toDouble(), 0.0);
    EXPECT_EQ(FavoritesList::fromJson(json), list);
    QJsonObject missing = json;
    missing.remove("pluginKeys");
    EXPECT_FALSE(FavoritesList::fromJson(missing));
}
