// From the vendor's product names in the system profile to the bundles in the catalogue.
#include "uadcleanup/UADCleanupManager.h"

#include <QStringList>

#include <algorithm>

namespace {

const QString kUADPrefix = QStringLiteral("UAD ");
const QString kMonoMark = QStringLiteral("(m)");

QString withoutMonoMark(const QString& name)
{
    return QString(name).remove(kMonoMark);
}

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

QStringList words(const QString& lower)
{
    QStringList pieces;
    QString current;
    for (const char32_t c : lower.toUcs4()) {
        if (isWordCharacter(c)) {
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

qsizetype characterCount(const QString& text)
{
    return text.toUcs4().size();
}

// One explicit mapping stands for many bundles: every row whose name begins with a hit's prefix.
QList<AudioPlugin> explicitMatches(const QString& lowerName, const QList<AudioPlugin>& rows)
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

Closeness closeness(const QString& cleanedProfile, const QSet<QString>& profileTokens, const AudioPlugin& row)
{
    const QString stripped = withoutMonoMark(row.name);
    const QString cleanedRow = QString(stripped).remove(kUADPrefix).toLower().trimmed();
    if (cleanedRow == cleanedProfile)
        return Closeness::exact;
    if (cleanedProfile.startsWith(cleanedRow) && characterCount(cleanedRow) > 4)
        return Closeness::exact;
    if (cleanedRow.startsWith(cleanedProfile) && characterCount(cleanedProfile) > 4)
        return Closeness::exact;
    const QSet<QString> rowTokens = UADCleanupManager::tokens(stripped);
    if (rowTokens.size() >= 2 && profileTokens.contains(rowTokens))
        return Closeness::tokens;
    return Closeness::none;
}

// The first row that matches by name wins; among rows that share only words, the last.
const AudioPlugin* bestRow(const QString& profileName, const QList<AudioPlugin>& rows)
{
    const QString cleanedProfile = QString(profileName).remove(kUADPrefix).toLower();
    const QSet<QString> profileTokens = UADCleanupManager::tokens(profileName);
    const AudioPlugin* best = nullptr;
    for (const AudioPlugin& row : rows) {
        if (!row.name.startsWith(kUADPrefix))
            continue;
        const Closeness c = closeness(cleanedProfile, profileTokens, row);
        if (c == Closeness::exact)
            return &row;
        if (c == Closeness::tokens)
            best = &row;
    }
    return best;
}

} // namespace

const QSet<QString>& UADCleanupManager::stopWords()
{
    static const QSet<QString> words{
        QStringLiteral("amplifier"),  QStringLiteral("digital"),  QStringLiteral("delay"),
        QStringLiteral("pitch"),      QStringLiteral("shifter"),  QStringLiteral("tube"),
        QStringLiteral("reverb"),     QStringLiteral("effects"),  QStringLiteral("and"),
        QStringLiteral("the"),        QStringLiteral("for"),      QStringLiteral("with"),
        QStringLiteral("bass"),       QStringLiteral("guitar"),   QStringLiteral("noise"),
        QStringLiteral("suppressor"), QStringLiteral("ambience"), QStringLiteral("reduction"),
        QStringLiteral("stereo"),     QStringLiteral("limiter"),  QStringLiteral("classic"),
        QStringLiteral("studios"),    QStringLiteral("reference")};
    return words;
}

const QHash<QString, QString>& UADCleanupManager::wordMap()
{
    static const QHash<QString, QString> map{{QStringLiteral("microphone"), QStringLiteral("mic")},
                                             {QStringLiteral("preamplifier"), QStringLiteral("preamp")},
                                             {QStringLiteral("collection"), QStringLiteral("col")},
                                             {QStringLiteral("mastering"), QStringLiteral("mast")},
                                             {QStringLiteral("channel"), QStringLiteral("ch")},
                                             {QStringLiteral("strip"), QStringLiteral("st")},
                                             {QStringLiteral("compressor"), QStringLiteral("comp")},
                                             {QStringLiteral("limiter"), QStringLiteral("lim")},
                                             {QStringLiteral("dynamics"), QStringLiteral("dyn")},
                                             {QStringLiteral("equalizer"), QStringLiteral("eq")}};
    return map;
}

const QList<UADCleanupManager::ExplicitMapping>& UADCleanupManager::explicitMappings()
{
    static const QList<ExplicitMapping> mappings{
        {QStringLiteral("shadow hills mastering compressor class a"),
         QStringLiteral("UAD Shadow Hills Class A Mastering Comp")},
        {QStringLiteral("shadow hills mastering compressor class a"),
         QStringLiteral("UAD Shadow Hills Mastering Compressor")},
        {QStringLiteral("dangerous bax eq"), QStringLiteral("UAD Dangerous BAX EQ")},
        {QStringLiteral("api 500 eq"), QStringLiteral("UAD API 5")},
        {QStringLiteral("friedman amplifiers"), QStringLiteral("UAD Friedman")},
        {QStringLiteral("tube-tech eq"), QStringLiteral("UAD Tube-Tech")},
        {QStringLiteral("ampeg svt-3 pro"), QStringLiteral("UAD Ampeg SVT3Pro")},
        {QStringLiteral("ampeg svt-vr"), QStringLiteral("UAD Ampeg SVTVR")},
        {QStringLiteral("engl 646"), QStringLiteral("UAD ENGL E646")},
        {QStringLiteral("engl 765"), QStringLiteral("UAD ENGL E765")},
        // The profile names this equaliser after its maker; the bundles after the model.
        {QStringLiteral("massenburg"), QStringLiteral("UAD MDWEQ5")},
        {QStringLiteral("neve dynamics"), QStringLiteral("UAD Neve 2254")},
        {QStringLiteral("neve dynamics"), QStringLiteral("UAD Neve 33609")}};
    return mappings;
}

QSet<QString> UADCleanupManager::tokens(const QString& text)
{
    QSet<QString> result;
    for (const QString& piece : words(QString(text).remove(kUADPrefix).toLower())) {
        if (characterCount(piece) < 2 || stopWords().contains(piece))
            continue;
        result.insert(wordMap().value(piece, piece));
    }
    return result;
}

QList<AudioPlugin> UADCleanupManager::matchedDBPlugins(const QString& profileName, const QList<AudioPlugin>& rows)
{
    QList<AudioPlugin> explicitRows = explicitMatches(profileName.toLower(), rows);
    if (!explicitRows.isEmpty())
        return explicitRows;

    const AudioPlugin* best = bestRow(profileName, rows);
    if (!best)
        return {};
    // Every format of the product and its mono variant, however the mark is spaced; the
    // best row itself always passes this test.
    const QString base = withoutMonoMark(best->name).trimmed();
    QList<AudioPlugin> siblings;
    for (const AudioPlugin& row : rows) {
        if (withoutMonoMark(row.name).trimmed() == base)
            siblings.append(row);
    }
    return siblings;
}
