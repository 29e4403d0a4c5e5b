#pragma once

#include "catalogue/PluginModels.h"

#include <QHash>
#include <QList>
#include <QString>

#include <utility>
#include <vector>

/// The catalogue's names prepared once for matching many profile names against them: the
/// cleaned and folded form, the tokens and the base name of every row, looked up by index
/// instead of worked out again for every pair. Gives what
/// UADNameMatching::matchedDBPlugins() gives for the same rows, row for row.
/// Never changes after construction, so any thread may read one.
class UADNameMatcher {
public:
    explicit UADNameMatcher(QList<AudioPlugin> rows);

    /// The rows of one profile name (all formats, the mono variant included), in the
    /// given order, without repeats.
    QList<AudioPlugin> matches(const QString& profileName) const;
    const QList<AudioPlugin>& rows() const { return m_rows; }

private:
    using Indices = std::vector<qsizetype>;
    static constexpr qsizetype kNone = -1;

    /// Works out what row `i`'s name gives (the first row of that name).
    void prepare(qsizetype i);
    static const Indices& rowsOf(const QHash<QString, Indices>& table, const QString& key);
    Indices explicitMatches(const QString& lowerName) const;
    qsizetype firstByName(const QString& cleanedProfile) const;
    qsizetype lastByTokens(const QString& profileName) const;

    QList<AudioPlugin> m_rows;
    /// Per row: the length in characters of its cleaned name (without "(m)" and "UAD ",
    /// lower-cased, trimmed); rows without the "UAD " prefix never match by name.
    std::vector<qsizetype> m_cleanedLength;
    /// Per row: the ids of its tokens, sorted (UAD rows with two tokens or more only).
    std::vector<std::vector<int>> m_tokenIds;
    QHash<QString, int> m_tokenId;
    /// Per token id: the rows that hold it, in order.
    std::vector<Indices> m_rowsWithToken;
    /// The first UAD row of each cleaned name.
    QHash<QString, qsizetype> m_firstWithCleaned;
    /// The first UAD row of each cleaned name, sorted by that name: the rows that begin
    /// with a profile name lie side by side.
    std::vector<std::pair<QString, qsizetype>> m_sortedCleaned;
    /// The rows of each explicit mapping's prefix, in order.
    QHash<QString, Indices> m_rowsWithPrefix;
    /// The rows of each base name (without "(m)", trimmed): a product's formats and mono variant.
    QHash<QString, Indices> m_rowsWithBase;
    std::vector<QString> m_base;
};
