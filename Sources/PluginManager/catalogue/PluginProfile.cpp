#include "catalogue/PluginProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringList>

#include <cmath>

namespace {

QStringList sortedKeys(const QSet<QString>& keys)
{
    QStringList list(keys.cbegin(), keys.cend());
    list.sort();
    return list;
}

bool fail(DecodeError* error, const QString& message)
{
    if (error)
        error->message = message;
    return false;
}

bool readKeySet(const QJsonObject& object, const QString& key, QSet<QString>* out, DecodeError* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fail(error, QStringLiteral("missing member \"%1\"").arg(key));
    if (!value.isArray())
        return fail(error, QStringLiteral("member \"%1\" is not an array").arg(key));
    const QJsonArray array = value.toArray();
    out->clear();
    out->reserve(array.size());
    for (const auto& entry : array) {
        if (!entry.isString())
            return fail(error, QStringLiteral("member \"%1\" holds a non-text entry").arg(key));
        out->insert(entry.toString());
    }
    return true;
}

// Exported profiles keep one fixed layout, the one other tools of the platform write:
// two-space indentation, "key" : value, members in alphabetical order, and an empty
// array written as "[", a blank line and "]".
void appendIndent(QByteArray& out, int level)
{
    out.append(QByteArray(level * 2, ' '));
}

// Quotes, backslashes and control characters are escaped; everything else goes out as UTF-8.
void appendJsonString(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (b < 0x20)
                out.append(QByteArrayLiteral("\\u00") + QByteArray::number(b, 16).rightJustified(2, '0'));
            else
                out.append(ch);
        }
    }
    out.append('"');
}

QByteArray numberText(double value)
{
    // Whole numbers without a fraction or exponent (0, 800000000).
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        return QByteArray::number(static_cast<qint64>(value));
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

void appendStringArray(QByteArray& out, const QStringList& items, int level)
{
    out.append("[\n");
    for (qsizetype i = 0; i < items.size(); ++i) {
        appendIndent(out, level + 1);
        appendJsonString(out, items.at(i));
        out.append(i + 1 < items.size() ? ",\n" : "\n");
    }
    if (items.isEmpty())
        out.append('\n');
    appendIndent(out, level);
    out.append(']');
}

void appendMember(QByteArray& out, const char* key)
{
    appendIndent(out, 1);
    out.append('"').append(key).append("\" : ");
}

} // namespace

QJsonObject PluginProfile::toJson() const
{
    // QJsonObject keeps its members sorted; the sets are sorted too, so equal
    // profiles always give equal files.
    return QJsonObject{
        {QStringLiteral("id"), uuidString(id)},
        {QStringLiteral("name"), name},
        {QStringLiteral("createdAt"), dateToJsonSeconds(createdAt)},
        {QStringLiteral("enabledPlugins"), QJsonArray::fromStringList(sortedKeys(enabledPlugins))},
        {QStringLiteral("totalPluginCount"), QJsonValue(totalPluginCount)},
        {QStringLiteral("allPluginKeys"), QJsonArray::fromStringList(sortedKeys(allPluginKeys))},
    };
}

std::optional<PluginProfile> PluginProfile::fromJson(const QJsonObject& object, DecodeError* error)
{
    PluginProfile profile;

    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!id.isString()) {
        fail(error,
             id.isUndefined() ? QStringLiteral("missing member \"id\"") : QStringLiteral("member \"id\" is not text"));
        return std::nullopt;
    }
    profile.id = uuidFromString(id.toString());
    if (profile.id.isNull()) {
        fail(error, QStringLiteral("member \"id\" is not a UUID"));
        return std::nullopt;
    }

    const QJsonValue name = object.value(QStringLiteral("name"));
    if (!name.isString()) {
        fail(error, name.isUndefined() ? QStringLiteral("missing member \"name\"")
                                       : QStringLiteral("member \"name\" is not text"));
        return std::nullopt;
    }
    profile.name = name.toString();

    const QJsonValue created = object.value(QStringLiteral("createdAt"));
    if (!created.isDouble() || !std::isfinite(created.toDouble())) {
        fail(error, created.isUndefined() ? QStringLiteral("missing member \"createdAt\"")
                                          : QStringLiteral("member \"createdAt\" is not a date"));
        return std::nullopt;
    }
    profile.createdAt = dateFromJsonSeconds(created.toDouble());

    if (!readKeySet(object, QStringLiteral("enabledPlugins"), &profile.enabledPlugins, error))
        return std::nullopt;

    const QJsonValue count = object.value(QStringLiteral("totalPluginCount"));
    if (count.isUndefined()) {
        fail(error, QStringLiteral("missing member \"totalPluginCount\""));
        return std::nullopt;
    }
    // An integral number only: 5 and 5.0 pass, 5.5, text or a number beyond 64 bits do not.
    const double countValue = count.toDouble();
    if (!count.isDouble() || countValue != std::trunc(countValue) || std::fabs(countValue) >= 9.2e18) {
        fail(error, QStringLiteral("member \"totalPluginCount\" is not an integer"));
        return std::nullopt;
    }
    profile.totalPluginCount = count.toInteger(static_cast<qint64>(countValue));

    // Optional: absent or null (as the standard decoders read an optional) means the
    // profile predates the member.
    const QJsonValue allKeys = object.value(QStringLiteral("allPluginKeys"));
    if (!allKeys.isUndefined() && !allKeys.isNull()) {
        if (!readKeySet(object, QStringLiteral("allPluginKeys"), &profile.allPluginKeys, error))
            return std::nullopt;
    } else {
        profile.allPluginKeys = profile.enabledPlugins;
    }
    return profile;
}

std::optional<ProfileDocument> ProfileDocument::read(const QByteArray& bytes, DecodeError* error)
{
    if (bytes.isEmpty())
        return ProfileDocument{};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        fail(error, QStringLiteral("not one profile object"));
        return std::nullopt;
    }
    auto profile = PluginProfile::fromJson(document.object(), error);
    if (!profile)
        return std::nullopt;
    return ProfileDocument{std::move(profile)};
}

std::optional<QByteArray> ProfileDocument::write() const
{
    if (!profile)
        return std::nullopt;
    const PluginProfile& p = *profile;
    QByteArray out;
    out.append("{\n");
    appendMember(out, "allPluginKeys");
    appendStringArray(out, sortedKeys(p.allPluginKeys), 1);
    out.append(",\n");
    appendMember(out, "createdAt");
    out.append(numberText(dateToJsonSeconds(p.createdAt)));
    out.append(",\n");
    appendMember(out, "enabledPlugins");
    appendStringArray(out, sortedKeys(p.enabledPlugins), 1);
    out.append(",\n");
    appendMember(out, "id");
    appendJsonString(out, uuidString(p.id));
    out.append(",\n");
    appendMember(out, "name");
    appendJsonString(out, p.name);
    out.append(",\n");
    appendMember(out, "totalPluginCount");
    out.append(QByteArray::number(p.totalPluginCount));
    out.append("\n}");
    return out;
}
