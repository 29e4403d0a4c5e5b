#include "uadcleanup/UADProfileParser.h"

#include <QRegularExpression>

namespace {

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmedBlanks(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isBlank(line[begin]))
        ++begin;
    while (end > begin && isBlank(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin);
}

QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isLineBreak(text[i])) {
            lines.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    lines.append(text.sliced(start));
    return lines;
}

// The first run of decimal digits; a run that is no valid 64-bit number (too long, or
// digits of another script) counts as 0.
qint64 firstNumber(QStringView status)
{
    static const QRegularExpression digits(QStringLiteral("\\d+"), QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = digits.match(status);
    bool ok = false;
    const qint64 value = match.capturedView().toLongLong(&ok, 10);
    return ok ? value : 0;
}

std::optional<UADAuthStatus> classify(QStringView statusText)
{
    const QString lower = statusText.toString().toLower();
    if (lower.contains(QStringLiteral("authorized")))
        return UADAuthStatus::authorized();
    if (lower.contains(QStringLiteral("not started")))
        return UADAuthStatus::demoNotStarted();
    if (lower.contains(QStringLiteral("expired")))
        return UADAuthStatus::expired();
    if (lower.contains(QStringLiteral("demo"))) {
        static const QRegularExpression anyDigit(QStringLiteral("\\d"), QRegularExpression::UseUnicodePropertiesOption);
        if (!anyDigit.match(statusText).hasMatch())
            return UADAuthStatus::demoNotStarted();
        return UADAuthStatus::demo(firstNumber(statusText));
    }
    return std::nullopt;
}

} // namespace

QList<UADPluginAuth> UADProfileParser::parsePluginAuthorizations(const QString& text)
{
    QList<UADPluginAuth> result;
    bool inside = false;
    for (const QStringView rawLine : splitLines(text)) {
        const QStringView line = trimmedBlanks(rawLine);
        // The second heading text alone opens the section, as does a repeated heading.
        if (line.contains(u"Plug-in Authorizations")) {
            inside = true;
            continue;
        }
        if (!inside)
            continue;
        if (line.startsWith(u"---"))
            break;
        const qsizetype separator = line.indexOf(u": ");
        if (line.isEmpty() || separator < 0)
            continue;
        const std::optional<UADAuthStatus> status = classify(line.sliced(separator + 2));
        if (!status)
            continue;
        UADPluginAuth entry;
        entry.id = QUuid::createUuid();
        entry.name = line.first(separator).toString();
        entry.status = *status;
        result.append(entry);
    }
    return result;
}
