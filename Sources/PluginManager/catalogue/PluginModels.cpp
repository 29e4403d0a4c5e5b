#include "catalogue/PluginModels.h"

#include "Platform/PluginFolderTable.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kSecondsFrom1970To2001 = 978307200;

bool requireString(const QJsonObject& object, const char* key, QString* out, DecodeError* error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) {
        if (error)
            error->message = value.isUndefined() ? QStringLiteral("missing member \"%1\"").arg(QLatin1String(key))
                                                 : QStringLiteral("member \"%1\" is not text").arg(QLatin1String(key));
        return false;
    }
    *out = value.toString();
    return true;
}

bool optionalString(const QJsonObject& object, const char* key, std::optional<QString>* out, DecodeError* error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull()) {
        out->reset();
        return true;
    }
    if (!value.isString()) {
        if (error)
            error->message = QStringLiteral("member \"%1\" is not text").arg(QLatin1String(key));
        return false;
    }
    *out = value.toString();
    return true;
}

bool requireUuid(const QJsonObject& object, const char* key, QUuid* out, DecodeError* error)
{
    QString text;
    if (!requireString(object, key, &text, error))
        return false;
    *out = uuidFromString(text);
    if (out->isNull()) {
        if (error)
            error->message = QStringLiteral("member \"%1\" is not a UUID").arg(QLatin1String(key));
        return false;
    }
    return true;
}
} // namespace

namespace PluginFormats {

QString rawValue(PluginFormat format)
{
    switch (format) {
    case PluginFormat::au:
        return QStringLiteral("Audio Units");
    case PluginFormat::vst3:
        return QStringLiteral("VST3");
    case PluginFormat::vst2:
        return QStringLiteral("VST");
    case PluginFormat::aax:
        return QStringLiteral("AAX");
    case PluginFormat::clap:
        return QStringLiteral("CLAP");
    case PluginFormat::wavesBundle:
        return QStringLiteral("Waves");
    }
    return {};
}

std::optional<PluginFormat> fromRawValue(const QString& text)
{
    for (PluginFormat format : allCases) {
        if (rawValue(format) == text)
            return format;
    }
    return std::nullopt;
}

QStringList fileExtensions(PluginFormat format)
{
    switch (format) {
    case PluginFormat::au:
        return {QStringLiteral("component")};
    case PluginFormat::vst3:
        return {QStringLiteral("vst3")};
    case PluginFormat::vst2:
        return {QStringLiteral("vst")};
    case PluginFormat::aax:
        return {QStringLiteral("aaxplugin")};
    case PluginFormat::clap:
        return {QStringLiteral("clap")};
    case PluginFormat::wavesBundle:
        return {QStringLiteral("bundle")};
    }
    return {};
}

QStringList systemPaths(PluginFormat format)
{
    return PluginFolderTable::pluginFolders(rawValue(format));
}

bool rawValueLess(PluginFormat a, PluginFormat b)
{
    return rawValue(a) < rawValue(b);
}

QString symbolName(PluginFormat format)
{
    switch (format) {
    case PluginFormat::au:
        return QStringLiteral("waveform");
    case PluginFormat::vst3:
        return QStringLiteral("cube");
    case PluginFormat::vst2:
        return QStringLiteral("square");
    case PluginFormat::aax:
        return QStringLiteral("hexagon");
    case PluginFormat::clap:
        return QStringLiteral("diamond");
    case PluginFormat::wavesBundle:
        return QStringLiteral("w.circle");
    }
    return QStringLiteral("square");
}

} // namespace PluginFormats

QString uuidString(const QUuid& id)
{
    // Hex digits and dashes only: an ASCII upper-casing of the bytes is all it takes (the
    // Unicode-aware QString::toUpper was a noticeable share of writing a catalogue).
    QByteArray text = id.toByteArray(QUuid::WithoutBraces);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f')
            c = char(c - 'a' + 'A');
    }
    return QString::fromLatin1(text);
}

QUuid uuidFromString(const QString& text)
{
    if (text.size() != 36)
        return {};
    return QUuid::fromString(text);
}

double dateToJsonSeconds(const QDateTime& date)
{
    return double(date.toMSecsSinceEpoch()) / 1000.0 - double(kSecondsFrom1970To2001);
}

QDateTime dateFromJsonSeconds(double seconds)
{
    // A hostile file may hold 1e300: converting that to whole milliseconds would
    // overflow. Clamp to some three million years either side, far beyond any real date.
    constexpr double kLimit = 1e14;
    if (std::isnan(seconds))
        seconds = 0;
    const double clamped = std::clamp(seconds + double(kSecondsFrom1970To2001), -kLimit, kLimit);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::round(clamped * 1000.0)), Qt::UTC);
}

QString pluginKey(const QString& name, PluginFormat format)
{
    return name + QLatin1Char('|') + PluginFormats::rawValue(format);
}

QString AudioPlugin::statusValue() const
{
    return isEnabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

QString AudioPlugin::versionValue() const
{
    return version ? *version : QStringLiteral("Unknown");
}

QString AudioPlugin::lastUsedValue(const QDateTime& now) const
{
    if (!lastUsed)
        return QStringLiteral("Unknown");
    const double seconds = double(lastUsed->msecsTo(now)) / 1000.0;
    const auto days = static_cast<qint64>(std::trunc(seconds / 86400.0));
    if (days == 0)
        return QStringLiteral("Today");
    if (days == 1)
        return QStringLiteral("Yesterday");
    if (days <= 6)
        return QString::number(days) + QStringLiteral(" days ago");
    if (days <= 29)
        return QString::number(days / 7) + QStringLiteral(" weeks ago");
    if (days <= 364)
        return QString::number(days / 30) + QStringLiteral(" months ago");
    return QString::number(days / 365) + QStringLiteral(" years ago");
}

QString AudioPlugin::key() const
{
    return pluginKey(name, format);
}

QJsonObject AudioPlugin::toJson() const
{
    QJsonObject object{
        {QStringLiteral("id"), uuidString(id)},         {QStringLiteral("name"), name},
        {QStringLiteral("manufacturer"), manufacturer}, {QStringLiteral("format"), PluginFormats::rawValue(format)},
        {QStringLiteral("originalPath"), originalPath}, {QStringLiteral("currentPath"), currentPath},
        {QStringLiteral("isEnabled"), isEnabled},
    };
    if (version)
        object.insert(QStringLiteral("version"), *version);
    if (bundleIdentifier)
        object.insert(QStringLiteral("bundleIdentifier"), *bundleIdentifier);
    if (lastUsed)
        object.insert(QStringLiteral("lastUsed"), dateToJsonSeconds(*lastUsed));
    return object;
}

std::optional<AudioPlugin> AudioPlugin::fromJson(const QJsonObject& object, DecodeError* error)
{
    AudioPlugin plugin;
    QString formatText;
    if (!requireUuid(object, "id", &plugin.id, error) || !requireString(object, "name", &plugin.name, error) ||
        !requireString(object, "manufacturer", &plugin.manufacturer, error) ||
        !requireString(object, "format", &formatText, error) ||
        !requireString(object, "originalPath", &plugin.originalPath, error) ||
        !requireString(object, "currentPath", &plugin.currentPath, error))
        return std::nullopt;
    const auto format = PluginFormats::fromRawValue(formatText);
    if (!format) {
        if (error)
            error->message = QStringLiteral("unknown format \"%1\"").arg(formatText);
        return std::nullopt;
    }
    plugin.format = *format;
    const QJsonValue enabled = object.value(QStringLiteral("isEnabled"));
    if (!enabled.isBool()) {
        if (error)
            error->message = QStringLiteral("member \"isEnabled\" is missing or not a Boolean");
        return std::nullopt;
    }
    plugin.isEnabled = enabled.toBool();
    if (!optionalString(object, "version", &plugin.version, error) ||
        !optionalString(object, "bundleIdentifier", &plugin.bundleIdentifier, error))
        return std::nullopt;
    const QJsonValue lastUsed = object.value(QStringLiteral("lastUsed"));
    if (lastUsed.isDouble())
        plugin.lastUsed = dateFromJsonSeconds(lastUsed.toDouble());
    else if (!lastUsed.isUndefined() && !lastUsed.isNull()) {
        if (error)
            error->message = QStringLiteral("member \"lastUsed\" is not a date");
        return std::nullopt;
    }
    return plugin;
}

QString ConsolidatedPlugin::FormatVariant::badgeLabel() const
{
    if (format == PluginFormat::wavesBundle)
        return version ? *version : QStringLiteral("Waves");
    return PluginFormats::rawValue(format);
}

QString PluginError::errorDescription() const
{
    switch (kind) {
    case Kind::permissionDenied:
        return QStringLiteral("Permission denied: ") + detail;
    case Kind::fileNotFound:
        return QStringLiteral("File not found: ") + detail;
    case Kind::invalidPath:
        return QStringLiteral("Invalid path: ") + detail;
    case Kind::databaseError:
        return QStringLiteral("Database error: ") + detail;
    case Kind::unknownError:
        return QStringLiteral("Unknown error: ") + detail;
    }
    return detail;
}

QByteArray PluginKeyTransfer::toJson() const
{
    QJsonObject object{{QStringLiteral("keys"), QJsonArray::fromStringList(keys)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<PluginKeyTransfer> PluginKeyTransfer::fromJson(const QByteArray& bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue keys = document.object().value(QStringLiteral("keys"));
    if (!keys.isArray())
        return std::nullopt;
    PluginKeyTransfer transfer;
    for (const auto& key : keys.toArray()) {
        if (!key.isString())
            return std::nullopt;
        transfer.keys.append(key.toString());
    }
    return transfer;
}

QJsonObject FavoritesList::toJson() const
{
    QStringList keys(pluginKeys.cbegin(), pluginKeys.cend());
    keys.sort();
    return QJsonObject{
        {QStringLiteral("id"), uuidString(id)},
        {QStringLiteral("name"), name},
        {QStringLiteral("createdAt"), dateToJsonSeconds(createdAt)},
        {QStringLiteral("pluginKeys"), QJsonArray::fromStringList(keys)},
    };
}

std::optional<FavoritesList> FavoritesList::fromJson(const QJsonObject& object, DecodeError* error)
{
    FavoritesList list;
    if (!requireUuid(object, "id", &list.id, error) || !requireString(object, "name", &list.name, error))
        return std::nullopt;
    const QJsonValue created = object.value(QStringLiteral("createdAt"));
    const QJsonValue keys = object.value(QStringLiteral("pluginKeys"));
    if (!created.isDouble() || !keys.isArray()) {
        if (error)
            error->message = QStringLiteral("member \"createdAt\" or \"pluginKeys\" is missing or malformed");
        return std::nullopt;
    }
    list.createdAt = dateFromJsonSeconds(created.toDouble());
    for (const auto& key : keys.toArray()) {
        if (!key.isString()) {
            if (error)
                error->message = QStringLiteral("member \"pluginKeys\" holds a non-text entry");
            return std::nullopt;
        }
        list.pluginKeys.insert(key.toString());
    }
    return list;
}

FavoritesManager::FavoritesManager(QString favoritesPath, QObject* parent)
    : QObject(parent), m_favoritesPath(std::move(favoritesPath))
{
}

void FavoritesManager::setLists(QList<FavoritesList> lists)
{
    m_lists = std::move(lists);
    Q_EMIT listsChanged();
}
