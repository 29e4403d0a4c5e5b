#pragma once

// The UAD name matching's proving ground, shared by its test and its benchmark: the rules as
// they were applied pair by pair, and a generated catalogue with profile names to match.

#include "catalogue/PluginModels.h"
#include "uadcleanup/UADCleanupManager.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <random>

// The matching as it was before the catalogue's names were prepared once per row: each
// profile name against every row, tokens worked out for every pair. Kept here, as it was,
// to prove the prepared matcher gives the very same rows.
namespace PairByPair {

inline const QString kUADPrefix = QStringLiteral("UAD ");
inline const QString kMonoMark = QStringLiteral("(m)");

inline QString withoutMonoMark(const QString& name)
{
    return QString(name).remove(kMonoMark);
}

inline QStringList words(const QString& lower)
{
    QStringList pieces;
    QString current;
    for (const char32_t c : lower.toUcs4()) {
        if (QChar::isLetterOrNumber(c) || QChar::isMark(c)) {
            current += QString::fromUcs4(&c, 1);
        } else if (!current.isEmpty()) {
            pieces.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        pieces.append(current);
    return pieces;
}

inline qsizetype characterCount(const QString& text)
{
    return text.toUcs4().size();
}

inline QSet<QString> tokens(const QString& text)
{
    QSet<QString> result;
    for (const QString& piece : words(QString(text).remove(kUADPrefix).toLower())) {
        if (characterCount(piece) < 2 || UADCleanupManager::stopWords().contains(piece))
            continue;
        result.insert(UADCleanupManager::wordMap().value(piece, piece));
    }
    return result;
}

enum class Stage { explicitMapping, name, tokens, none };

inline QList<AudioPlugin> explicitMatches(const QString& lowerName, const QList<AudioPlugin>& rows)
{
    QStringList prefixes;
    for (const auto& mapping : UADCleanupManager::explicitMappings()) {
        if (lowerName.contains(mapping.profile))
            prefixes.append(mapping.dbPrefix);
    }
    QList<AudioPlugin> result;
    if (prefixes.isEmpty())
        return result;
    for (const AudioPlugin& row : rows) {
        if (std::any_of(prefixes.cbegin(), prefixes.cend(), [&](const QString& p) { return row.name.startsWith(p); }))
            result.append(row);
    }
    return result;
}

enum class Closeness { none, tokens, exact };

inline Closeness closeness(const QString& cleanedProfile, const QSet<QString>& profileTokens, const AudioPlugin& row)
{
    const QString stripped = withoutMonoMark(row.name);
    const QString cleanedRow = QString(stripped).remove(kUADPrefix).toLower().trimmed();
    if (cleanedRow == cleanedProfile)
        return Closeness::exact;
    if (cleanedProfile.startsWith(cleanedRow) && characterCount(cleanedRow) > 4)
        return Closeness::exact;
    if (cleanedRow.startsWith(cleanedProfile) && characterCount(cleanedProfile) > 4)
        return Closeness::exact;
    const QSet<QString> rowTokens = tokens(stripped);
    if (rowTokens.size() >= 2 && profileTokens.contains(rowTokens))
        return Closeness::tokens;
    return Closeness::none;
}

inline const AudioPlugin* bestRow(const QString& profileName, const QList<AudioPlugin>& rows, Stage& stage)
{
    const QString cleanedProfile = QString(profileName).remove(kUADPrefix).toLower();
    const QSet<QString> profileTokens = tokens(profileName);
    const AudioPlugin* best = nullptr;
    for (const AudioPlugin& row : rows) {
        if (!row.name.startsWith(kUADPrefix))
            continue;
        const Closeness c = closeness(cleanedProfile, profileTokens, row);
        if (c == Closeness::exact) {
            stage = Stage::name;
            return &row;
        }
        if (c == Closeness::tokens) {
            stage = Stage::tokens;
            best = &row;
        }
    }
    return best;
}

inline QList<AudioPlugin> matchedDBPlugins(const QString& profileName, const QList<AudioPlugin>& rows, Stage& stage)
{
    stage = Stage::explicitMapping;
    QList<AudioPlugin> explicitRows = explicitMatches(profileName.toLower(), rows);
    if (!explicitRows.isEmpty())
        return explicitRows;
    stage = Stage::none;
    const AudioPlugin* best = bestRow(profileName, rows, stage);
    if (!best)
        return {};
    const QString base = withoutMonoMark(best->name).trimmed();
    QList<AudioPlugin> siblings;
    for (const AudioPlugin& row : rows) {
        if (withoutMonoMark(row.name).trimmed() == base)
            siblings.append(row);
    }
    return siblings;
}

} // namespace PairByPair

/// A catalogue of UAD bundles as a large studio has them (every format, mono variants,
/// mapped families, short and foreign names, other vendors' bundles) and the profile names
/// to match against it: its own names, longer and shorter ones, reordered words, the
/// mapped collections and strangers. Fixed seed: the same every run.
struct GeneratedCatalogue {
    QList<AudioPlugin> rows;
    QStringList profileNames;

    GeneratedCatalogue(int rowCount, int profileCount)
    {
        std::mt19937 random(2025);
        const auto pick = [&random](const QStringList& list) {
            return list.at(static_cast<qsizetype>(random() % static_cast<unsigned>(list.size())));
        };
        const auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
        const QStringList brands{"Neve",      "API",         "Pultec",    "Fairchild", "Teletronix", "Manley",
                                 "Lexicon",   "EMT",         "Studer",    "Ampex",     "Moog",       "Marshall",
                                 "Helios",    "Chandler",    "Ocean Way", "Capitol",   "Sound City", "Avalon",
                                 "Brüel",     "Éclair",      "東京",      "SSL",       "Oxide",      "Diezel",
                                 "Suhr",      "Thermionic",  "Tube-Tech", "Friedman",  "Ampeg",      "ENGL",
                                 "Dangerous", "Shadow Hills"};
        const QStringList models{"1073",     "1081",
                                 "88RS",     "2254",
                                 "33609",    "670",
                                 "660",      "LA-2A",
                                 "LA-3A",    "1176LN",
                                 "1176SE",   "EQP-1A",
                                 "MEQ-5",    "224",
                                 "250",      "140",
                                 "A800",     "ATR-102",
                                 "Minimoog", "SVT-3 Pro",
                                 "SVTVR",    "E646",
                                 "E765",     "BAX EQ",
                                 "Class A",  "560",
                                 "550A",     "2500",
                                 "MDWEQ5",   "Massive Passive",
                                 "Vari-Mu",  "Culture Vulture",
                                 "J37",      "CS-1",
                                 "4000 E",   "G",
                                 "E",        "K",
                                 "A1",       "Mk II",
                                 "Plate",    "Chamber"};
        const QStringList words{"Preamp",
                                "EQ",
                                "Compressor",
                                "Limiter",
                                "Collection",
                                "Mastering",
                                "Channel Strip",
                                "Tape",
                                "Reverb",
                                "Delay",
                                "Digital",
                                "Tube",
                                "Stereo",
                                "Legacy",
                                "Classic",
                                "Amplifier",
                                "Bass",
                                "Guitar",
                                "Dynamics",
                                "Equalizer",
                                "Microphone",
                                "Preamplifier",
                                "Noise Suppressor",
                                "Echo",
                                "Studios",
                                "Reference",
                                "and",
                                "the",
                                "&",
                                "/",
                                "+",
                                "Plus",
                                "Edition",
                                "Unison",
                                "Mono"};
        const QStringList mapped{"UAD Shadow Hills Class A Mastering Comp",
                                 "UAD Shadow Hills Mastering Compressor",
                                 "UAD Dangerous BAX EQ",
                                 "UAD API 550A",
                                 "UAD API 560",
                                 "UAD Friedman BE100",
                                 "UAD Friedman DS40",
                                 "UAD Tube-Tech CL 1B",
                                 "UAD Tube-Tech PE 1C",
                                 "UAD Ampeg SVT3Pro",
                                 "UAD Ampeg SVTVR",
                                 "UAD ENGL E646 VS",
                                 "UAD ENGL E765 RT",
                                 "UAD MDWEQ5-3B",
                                 "UAD MDWEQ5-5B",
                                 "UAD Neve 2254",
                                 "UAD Neve 33609 SE"};
        const QStringList strangers{
            "Pro-Q 3",           "Valhalla Room", "Decapitator",    "Ozone 11 Elements", "Serum",    "UADX Tape",
            "uad Pultec EQP-1A", "UAD",           "UAD  Neve 1073", "  UAD Studer A800", "UAD 1176", "UAD Neve",
            "UAD EMT",           "UAD (m)"};

        QStringList products;
        const auto product = [&] {
            QString name = pick(brands) + u' ' + pick(models);
            for (int w = static_cast<int>(random() % 3); w > 0; --w)
                name += u' ' + pick(words);
            if (chance(5))
                name = name.toUpper();
            return name;
        };
        while (rows.size() < rowCount) {
            const int kind = static_cast<int>(random() % 100);
            QString base;
            if (kind < 6)
                base = pick(mapped);
            else if (kind < 9)
                base = pick(strangers);
            else if (kind < 12 && !products.isEmpty())
                base = u' ' + pick(products) + u' '; // stray blanks around a known name
            else
                base = QStringLiteral("UAD ") + product();
            products.append(base.trimmed().mid(4));
            const int formats = 1 + static_cast<int>(random() % 4);
            for (int f = 0; f < formats && rows.size() < rowCount; ++f) {
                AudioPlugin plugin;
                plugin.id = QUuid::createUuid();
                plugin.name = base;
                plugin.isEnabled = chance(70);
                rows.append(plugin);
            }
            if (chance(20) && rows.size() < rowCount) {
                AudioPlugin mono;
                mono.id = QUuid::createUuid();
                mono.name = base + (chance(50) ? QStringLiteral("(m)") : QStringLiteral(" (m)"));
                rows.append(mono);
            }
        }
        // As the catalogue hands them over: ordered by name without regard to case.
        std::stable_sort(rows.begin(), rows.end(), [](const AudioPlugin& a, const AudioPlugin& b) {
            return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
        });

        const QStringList collections{"Neve Dynamics Collection",
                                      "API 500 EQ Collection",
                                      "Massenburg DesignWorks MDWEQ5",
                                      "Shadow Hills Mastering Compressor Class A",
                                      "Friedman Amplifiers Collection",
                                      "Tube-Tech EQ Collection",
                                      "Ampeg SVT-3 Pro",
                                      "Ampeg SVT-VR Classic",
                                      "ENGL 646 VS",
                                      "ENGL 765 Retro Tube",
                                      "Dangerous BAX EQ Collection",
                                      "NEVE DYNAMICS"};
        const QStringList edges{
            "",        "UAD ",   "1176",      "UAD Pultec EQP-1A", "PULTEC EQP-1A", "Pultec EQP-1A ",
            "G",       "Neve",   "東京 1073", "Brüel 670 Tube",    "1176LN Legacy", "Neve 88RS Channel Strip",
            "EMT 140", "UAD (m)"};
        profileNames = collections + edges;
        while (profileNames.size() < profileCount) {
            const QString own = pick(products);
            QStringList parts = own.split(u' ', Qt::SkipEmptyParts);
            switch (random() % 6) {
            case 0: // the catalogue's own name
                profileNames.append(own);
                break;
            case 1: // longer than the bundle's name
                profileNames.append(own + u' ' + pick(words) + u' ' + pick(words));
                break;
            case 2: // shorter
                profileNames.append(own.left(3 + static_cast<int>(random() % 8)));
                break;
            case 3: // the same words in another order, with words that carry no identity
                std::shuffle(parts.begin(), parts.end(), random);
                profileNames.append(parts.join(u' ') + QStringLiteral(" Classic"));
                break;
            case 4: // another product altogether
                profileNames.append(product());
                break;
            default: // another letter case
                profileNames.append(chance(50) ? own.toLower() : own.toUpper());
                break;
            }
        }
    }
};
