#include "catalogue/ManufacturerWebsites.h"

#include <QSet>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

QString encodedQuery(const QUrl& url)
{
    return QString::fromLatin1(url.toEncoded()).section(QStringLiteral("?q="), 1);
}

} // namespace

TEST(ManufacturerWebsitesTest, TableHas194UniqueKeysOver128Addresses)
{
    const auto& table = manufacturerWebsiteTable();
    ASSERT_EQ(table.size(), 194);
    QSet<QString> keys;
    QSet<QString> addresses;
    for (const ManufacturerWebsite& row : table) {
        const QString key = QString::fromLatin1(row.key);
        SCOPED_TRACE(key.toStdString());
        EXPECT_FALSE(key.isEmpty());
        EXPECT_EQ(key, key.toLower());
        EXPECT_EQ(key, key.trimmed());
        EXPECT_FALSE(keys.contains(key));
        keys.insert(key);
        const QUrl address(QString::fromLatin1(row.address));
        EXPECT_TRUE(address.isValid());
        EXPECT_EQ(address.scheme(), QStringLiteral("https"));
        addresses.insert(address.toString());
    }
    EXPECT_EQ(addresses.size(), 128);
    // Keys fixed by their place in the table.
    EXPECT_STREQ(table.at(0).key, "wavesfactory");
    EXPECT_STREQ(table.at(9).key, "uad");
    EXPECT_STREQ(table.at(113).key, "antares");
    EXPECT_STREQ(table.at(128).key, "digidesign");
    EXPECT_STREQ(table.at(193).key, "virtual jv");
    EXPECT_STREQ(table.at(37).address, table.at(128).address); // avid and digidesign
}

TEST(ManufacturerWebsitesTest, EveryKeyFindsItsOwnRow)
{
    for (const ManufacturerWebsite& row : manufacturerWebsiteTable()) {
        SCOPED_TRACE(row.key);
        // The key as a vendor would write it: upper case, with blanks around.
        const QString name = QStringLiteral("  ") + QString::fromLatin1(row.key).toUpper() + QStringLiteral("\t");
        EXPECT_EQ(manufacturerWebsiteURL(name), QUrl(QString::fromLatin1(row.address)));
    }
}

TEST(ManufacturerWebsitesTest, MatchingFollowsTableOrder)
{
    const struct {
        const char* name;
        const char* sameAsKey;
    } cases[] = {
        {"FabFilter", "fabfilter"},
        {"Fab Filter ", "fabfilter"},
        {"Waves Factory", "wavesfactory"},
        {"Waves Audio Ltd", "waves"},
        {"Quadrant Instruments", "uad"},
        {"Slate Digital LLC", "slate digital"},
        {"Sauceware x Lemonaide", "sauceware"},
    };
    const auto& table = manufacturerWebsiteTable();
    auto addressOf = [&table](const char* key) {
        for (const ManufacturerWebsite& row : table) {
            if (qstrcmp(row.key, key) == 0)
                return QUrl(QString::fromLatin1(row.address));
        }
        return QUrl();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(manufacturerWebsiteURL(QString::fromUtf8(c.name)), addressOf(c.sameAsKey));
    }
    EXPECT_NE(addressOf("waves"), addressOf("wavesfactory"));
}

TEST(ManufacturerWebsitesTest, UnknownManufacturerSearchesForTheWholeName)
{
    const struct {
        const char* name;
        const char* query;
        const char* decoded;
    } cases[] = {
        {"Acme Sound", "Acme%20Sound%20audio%20plugin", "Acme Sound audio plugin"},
        {" Acme", "%20Acme%20audio%20plugin", " Acme audio plugin"},
        {"", "%20audio%20plugin", " audio plugin"},
        // One value: "&" and "=" are encoded, so the search sees every word.
        {"Tone & Tube", "Tone%20%26%20Tube%20audio%20plugin", "Tone & Tube audio plugin"},
        {"A=B", "A%3DB%20audio%20plugin", "A=B audio plugin"},
        {"Klangfabrik Münster", "Klangfabrik%20M%C3%BCnster%20audio%20plugin", "Klangfabrik Münster audio plugin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QUrl url = manufacturerWebsiteURL(QString::fromUtf8(c.name));
        ASSERT_TRUE(url.isValid());
        EXPECT_EQ(url.scheme(), QStringLiteral("https"));
        EXPECT_EQ(encodedQuery(url), QString::fromLatin1(c.query));
        const QUrlQuery query(url);
        EXPECT_EQ(query.queryItems().size(), 1);
        EXPECT_EQ(query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded), QString::fromUtf8(c.decoded));
    }
}

TEST(ManufacturerWebsitesTest, LineBreaksAreNotTrimmed)
{
    // A key followed by a line break still matches (it is a substring) ...
    EXPECT_EQ(manufacturerWebsiteURL(QStringLiteral("FabFilter\n")),
              manufacturerWebsiteURL(QStringLiteral("fabfilter")));
    // ... but a name of only blanks and a line break is searched as given.
    EXPECT_EQ(encodedQuery(manufacturerWebsiteURL(QStringLiteral(" \n"))), QStringLiteral("%20%0A%20audio%20plugin"));
}
