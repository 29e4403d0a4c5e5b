#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

/// Reads an Info.plist (XML or binary) into a map: strings as QString, integers as
/// qint64, reals as double, booleans as bool, arrays as QVariantList, dictionaries as
/// QVariantMap, dates as QDateTime, data as QByteArray.
/// A missing, unreadable or malformed file, or one whose top level is not a
/// dictionary, reads as an empty map ("no values"); it never throws or crashes.
QVariantMap readPropertyList(const QString& path);

/// The same for bytes already in memory.
QVariantMap parsePropertyList(const QByteArray& bytes);

/// parsePropertyList(bytes) with only the named top-level keys kept, each with its whole
/// value, and nothing else built: what a scan reads of each of many thousand Info.plists.
/// Plain XML files are read by a small reader of their own; anything it does not know for
/// certain (entities, comments, other encodings, odd layout, binary files) goes through
/// libplist. The result always equals the filtered full parse.
QVariantMap parsePropertyListKeys(const QByteArray& bytes, const QList<QByteArray>& keys);

/// What a scan takes of a bundle's Info.plist.
struct BundleInfo {
    std::optional<QString> bundleIdentifier; ///< CFBundleIdentifier, when a string
    std::optional<QString> shortVersion;     ///< CFBundleShortVersionString, when a string
    /// The "name" of the first AudioComponents entry, when that key holds a non-empty array
    /// of dictionaries only and the name is a string.
    std::optional<QString> firstComponentName;

    bool operator==(const BundleInfo&) const = default;
};

/// Those fields exactly as they read from parsePropertyListKeys(bytes, {"AudioComponents",
/// "CFBundleIdentifier", "CFBundleShortVersionString"}), by the same readers, without
/// building the maps, lists and texts on the way: a scan reads many thousand of these.
BundleInfo parseBundleInfo(const QByteArray& bytes);

/// Writes a map as a property list (XML when binary is false). Used by the demo tree
/// and by tests. Returns false when the file cannot be written.
bool writePropertyList(const QString& path, const QVariantMap& values, bool binary);
