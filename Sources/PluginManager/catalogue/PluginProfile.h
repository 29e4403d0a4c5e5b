#pragma once

#include "catalogue/PluginModels.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

/// A saved configuration: which plug-ins were enabled, and which existed, when it was saved.
struct PluginProfile {
    QUuid id;
    QString name;
    QDateTime createdAt;
    QSet<QString> enabledPlugins;
    qint64 totalPluginCount = 0;
    QSet<QString> allPluginKeys;

    /// The one key builder: name + "|" + format raw value.
    static QString pluginKey(const QString& name, PluginFormat format) { return ::pluginKey(name, format); }

    /// All six members; sets as arrays of strings, date as seconds since 2001.
    QJsonObject toJson() const;
    /// Requires id, name, createdAt, enabledPlugins and totalPluginCount; a missing (or
    /// null) allPluginKeys becomes a copy of enabledPlugins.
    static std::optional<PluginProfile> fromJson(const QJsonObject& object, DecodeError* error = nullptr);
    bool operator==(const PluginProfile&) const = default;
};

/// The exported single-profile document: pretty-printed with sorted keys.
struct ProfileDocument {
    std::optional<PluginProfile> profile;

    /// Reads one profile; empty bytes leave `profile` empty. Returns false with a
    /// reason when the bytes are not one profile.
    static std::optional<ProfileDocument> read(const QByteArray& bytes, DecodeError* error = nullptr);
    /// The document's bytes; std::nullopt when there is no profile to write.
    std::optional<QByteArray> write() const;
};

Q_DECLARE_METATYPE(PluginProfile)
