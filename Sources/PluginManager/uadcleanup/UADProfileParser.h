#pragma once

#include "uadcleanup/UADPluginAuth.h"

#include <QList>
#include <QString>

/// The authorisation section of the UAD system profile.
namespace UADProfileParser {

/// The entries of the section, in line order; a text without the section, or without a
/// valid line, gives none. Pure.
QList<UADPluginAuth> parsePluginAuthorizations(const QString& text);

} // namespace UADProfileParser
