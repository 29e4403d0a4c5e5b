#pragma once

#include <QList>
#include <QString>
#include <QUrl>

/// One row of the manufacturer web-site table: a lower-case key searched for inside
/// the folded manufacturer name, and the vendor's address.
struct ManufacturerWebsite {
    const char* key;
    const char* address;
};

/// The vendor table in match order (a longer key stands before a shorter one it contains).
const QList<ManufacturerWebsite>& manufacturerWebsiteTable();

/// The web search used for a manufacturer without a table row: name + " audio plugin",
/// sent as one fully percent-encoded `q` value so "&" and "=" stay part of the words.
QUrl manufacturerSearchURL(const QString& manufacturer);

/// The manufacturer's web site: the first table row whose key occurs in the lower-cased,
/// blank-trimmed name, else the web search for the name as given. Never invalid.
QUrl manufacturerWebsiteURL(const QString& manufacturer);

/// A web search for `query` with the same search page (used by the update search).
QUrl webSearchURL(const QString& query);
