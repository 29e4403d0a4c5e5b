#pragma once

#include "catalogue/PluginModels.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

/// From the vendor's product names in the UAD system profile to the bundles in the catalogue:
/// the matching vocabulary and the match itself. Pure: everything reads only its arguments
/// and the three constant tables.
namespace UADNameMatching {

/// Words that carry no identity.
const QSet<QString>& stopWords();
/// Long words and the short forms the bundle names use.
const QHash<QString, QString>& wordMap();
/// A lower-case text looked for inside a profile name, and the start of the catalogue names it stands for.
struct ExplicitMapping {
    QString profile;
    QString dbPrefix;
};
const QList<ExplicitMapping>& explicitMappings();
/// The identifying words of a name.
QSet<QString> tokens(const QString& text);
/// The catalogue rows (all formats, the mono variant included) of one profile name, in the given order.
QList<AudioPlugin> matchedDBPlugins(const QString& profileName, const QList<AudioPlugin>& rows);

} // namespace UADNameMatching
