#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <array>
#include <optional>

/// The plug-in formats, in scan order. The raw value (display name) is what the
/// catalogue, profiles and plug-in keys store.
enum class PluginFormat { au, vst3, vst2, aax, clap, wavesBundle };

namespace PluginFormats {
inline constexpr std::array<PluginFormat, 6> allCases{PluginFormat::au,  PluginFormat::vst3, PluginFormat::vst2,
                                                      PluginFormat::aax, PluginFormat::clap, PluginFormat::wavesBundle};
/// "Audio Units", "VST3", "VST", "AAX", "CLAP", "Waves".
QString rawValue(PluginFormat format);
/// Exact, case-sensitive match of a raw value; anything else is no format.
std::optional<PluginFormat> fromRawValue(const QString& rawValue);
/// The bundle extension without the dot ("component", "vst3", "vst", "aaxplugin", "clap", "bundle").
QStringList fileExtensions(PluginFormat format);
/// The folders hosts scan for the format (PluginFolderTable): under R, then under H; none for Waves.
QStringList systemPaths(PluginFormat format);
/// The symbol (a SymbolIcons name) that stands for the format in the list and the sidebar.
QString symbolName(PluginFormat format);
/// Ordering of the raw values as plain text (AAX, Audio Units, CLAP, VST, VST3, Waves).
bool rawValueLess(PluginFormat a, PluginFormat b);
} // namespace PluginFormats

inline size_t qHash(PluginFormat format, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(format), seed);
}

/// Canonical UUID text: 36 upper-case characters with hyphens, no braces.
QString uuidString(const QUuid& id);
/// Parses canonical (or lower-case) UUID text; a null QUuid when it is not one.
QUuid uuidFromString(const QString& text);

/// JSON side files count dates in seconds since 2001-01-01 00:00:00 UTC.
double dateToJsonSeconds(const QDateTime& date);
QDateTime dateFromJsonSeconds(double seconds);

/// A decoding failure: which member was missing or malformed.
struct DecodeError {
    QString message;
};

/// The plug-in key: name + "|" + format raw value, compared case-sensitively.
QString pluginKey(const QString& name, PluginFormat format);

/// One catalogued plug-in bundle. A scan gives every record a new id.
struct AudioPlugin {
    QUuid id;
    QString name;
    QString manufacturer;
    PluginFormat format = PluginFormat::au;
    QString originalPath;
    QString currentPath;
    bool isEnabled = true;
    std::optional<QString> version;
    std::optional<QString> bundleIdentifier;
    std::optional<QDateTime> lastUsed;

    /// "Enabled" or "Disabled".
    QString statusValue() const;
    /// The version, or "Unknown" when absent (an empty version stays empty).
    QString versionValue() const;
    /// Relative age of lastUsed: "Unknown", "Today", "Yesterday", "N days ago", "N weeks ago"...
    QString lastUsedValue(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
    /// pluginKey(name, format).
    QString key() const;

    /// Coding keys are the field names; absent optionals are omitted.
    QJsonObject toJson() const;
    static std::optional<AudioPlugin> fromJson(const QJsonObject& object, DecodeError* error = nullptr);
};

/// One row of the bulk pane: the selected records that share a name.
struct ConsolidatedPlugin {
    struct FormatVariant {
        QUuid id;
        PluginFormat format = PluginFormat::au;
        bool isEnabled = true;
        std::optional<QString> version;
        /// The format's raw value; for Waves the version when present, else "Waves".
        QString badgeLabel() const;
    };
    QString name;
    QList<FormatVariant> variants;
};

/// The errors of plug-in operations, each with a detail text.
struct PluginError {
    enum class Kind { permissionDenied, fileNotFound, invalidPath, databaseError, unknownError };
    Kind kind = Kind::unknownError;
    QString detail;

    static PluginError permissionDenied(QString detail) { return {Kind::permissionDenied, std::move(detail)}; }
    static PluginError fileNotFound(QString detail) { return {Kind::fileNotFound, std::move(detail)}; }
    static PluginError invalidPath(QString detail) { return {Kind::invalidPath, std::move(detail)}; }
    static PluginError databaseError(QString detail) { return {Kind::databaseError, std::move(detail)}; }
    static PluginError unknownError(QString detail) { return {Kind::unknownError, std::move(detail)}; }

    /// "Permission denied: " + detail, "File not found: " + detail, ...
    QString errorDescription() const;
    bool operator==(const PluginError&) const = default;
};

/// The drag payload of a selection: {"keys": [...]}.
struct PluginKeyTransfer {
    QStringList keys;
    QByteArray toJson() const;
    static std::optional<PluginKeyTransfer> fromJson(const QByteArray& bytes);
    bool operator==(const PluginKeyTransfer&) const = default;
};

/// A named set of plug-in keys, used as a filter of the plug-in list.
struct FavoritesList {
    QUuid id;
    QString name;
    QDateTime createdAt;
    QSet<QString> pluginKeys;

    QJsonObject toJson() const;
    static std::optional<FavoritesList> fromJson(const QJsonObject& object, DecodeError* error = nullptr);
    bool operator==(const FavoritesList&) const = default;
};

/// Holder of favourites lists; nothing in the program creates, saves or loads them yet.
class FavoritesManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FavoritesManager)
public:
    explicit FavoritesManager(QString favoritesPath, QObject* parent = nullptr);
    const QList<FavoritesList>& lists() const { return m_lists; }
    void setLists(QList<FavoritesList> lists);
    QString favoritesPath() const { return m_favoritesPath; }

Q_SIGNALS:
    void listsChanged();

private:
    QList<FavoritesList> m_lists;
    QString m_favoritesPath;
};

Q_DECLARE_METATYPE(AudioPlugin)
Q_DECLARE_METATYPE(PluginError)
