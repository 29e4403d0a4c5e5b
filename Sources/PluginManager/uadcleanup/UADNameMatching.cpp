#include "uadcleanup/UADNameMatching.h"

#include "uadcleanup/UADNameMatcher.h"

#include <QStringList>

#include <string>

namespace {

const QString kUADPrefix = QStringLiteral("UAD ");

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

QStringList words(const QString& lower)
{
    QStringList pieces;
    const std::u32string characters = lower.toStdU32String();
    qsizetype start = 0;
    const auto count = static_cast<qsizetype>(characters.size());
    for (qsizetype i = 0; i <= count; ++i) {
        if (i < count && isWordCharacter(characters[size_t(i)]))
            continue;
        if (i > start)
            pieces.append(QString::fromUcs4(characters.data() + start, i - start));
        start = i + 1;
    }
    return pieces;
}

qsizetype characterCount(const QString& text)
{
    return text.toUcs4().size();
}

} // namespace

const QSet<QString>& UADNameMatching::stopWords()
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

const QHash<QString, QString>& UADNameMatching::wordMap()
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

const QList<UADNameMatching::ExplicitMapping>& UADNameMatching::explicitMappings()
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

QSet<QString> UADNameMatching::tokens(const QString& text)
{
    QSet<QString> result;
    for (const QString& piece : words(QString(text).remove(kUADPrefix).toLower())) {
        if (characterCount(piece) < 2 || stopWords().contains(piece))
            continue;
        result.insert(wordMap().value(piece, piece));
    }
    return result;
}

QList<AudioPlugin> UADNameMatching::matchedDBPlugins(const QString& profileName, const QList<AudioPlugin>& rows)
{
    return UADNameMatcher(rows).matches(profileName);
}
