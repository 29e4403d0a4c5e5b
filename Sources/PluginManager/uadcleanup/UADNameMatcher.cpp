#include "uadcleanup/UADNameMatcher.h"

#include "uadcleanup/UADNameMatching.h"

#include <QSet>

#include <algorithm>

namespace {

const QString kUADPrefix = QStringLiteral("UAD ");
const QString kMonoMark = QStringLiteral("(m)");

QString withoutMonoMark(const QString& name)
{
    return QString(name).remove(kMonoMark);
}

qsizetype characterCount(const QString& text)
{
    return text.toUcs4().size();
}

} // namespace

UADNameMatcher::UADNameMatcher(QList<AudioPlugin> rows) : m_rows(std::move(rows))
{
    const qsizetype count = m_rows.size();
    m_cleanedLength.resize(size_t(count), 0);
    m_tokenIds.resize(size_t(count));
    m_base.resize(size_t(count));
    for (const auto& mapping : UADNameMatching::explicitMappings())
        m_rowsWithPrefix.insert(mapping.dbPrefix, {});

    // The formats of one product share a name: what a name gives is worked out once.
    QHash<QString, qsizetype> firstWithName;
    for (qsizetype i = 0; i < count; ++i) {
        const auto same = firstWithName.constFind(m_rows[i].name);
        if (same == firstWithName.cend()) {
            firstWithName.insert(m_rows[i].name, i);
            prepare(i);
        } else {
            m_base[size_t(i)] = m_base[size_t(*same)];
            m_cleanedLength[size_t(i)] = m_cleanedLength[size_t(*same)];
            m_tokenIds[size_t(i)] = m_tokenIds[size_t(*same)];
        }
        m_rowsWithBase[m_base[size_t(i)]].push_back(i);
        for (auto it = m_rowsWithPrefix.begin(); it != m_rowsWithPrefix.end(); ++it) {
            if (m_rows[i].name.startsWith(it.key()))
                it.value().push_back(i);
        }
        for (const int id : m_tokenIds[size_t(i)])
            m_rowsWithToken[size_t(id)].push_back(i);
    }
    std::sort(m_sortedCleaned.begin(), m_sortedCleaned.end());
}

void UADNameMatcher::prepare(qsizetype i)
{
    const QString& name = m_rows[i].name;
    const QString stripped = withoutMonoMark(name);
    m_base[size_t(i)] = stripped.trimmed();
    if (!name.startsWith(kUADPrefix))
        return;

    QString cleaned = QString(stripped).remove(kUADPrefix).toLower().trimmed();
    m_cleanedLength[size_t(i)] = characterCount(cleaned);
    // Rows of one cleaned name match alike, and the first of them comes first.
    if (!m_firstWithCleaned.contains(cleaned)) {
        m_firstWithCleaned.insert(cleaned, i);
        m_sortedCleaned.emplace_back(std::move(cleaned), i);
    }

    const QSet<QString> tokens = UADNameMatching::tokens(stripped);
    if (tokens.size() < 2)
        return;
    std::vector<int>& ids = m_tokenIds[size_t(i)];
    for (const QString& token : tokens) {
        auto id = m_tokenId.constFind(token);
        if (id == m_tokenId.cend()) {
            id = m_tokenId.insert(token, static_cast<int>(m_rowsWithToken.size()));
            m_rowsWithToken.emplace_back();
        }
        ids.push_back(*id);
    }
    std::sort(ids.begin(), ids.end());
}

const UADNameMatcher::Indices& UADNameMatcher::rowsOf(const QHash<QString, Indices>& table, const QString& key)
{
    static const Indices none;
    const auto it = table.constFind(key);
    return it == table.cend() ? none : *it;
}

// One explicit mapping stands for many bundles: every row whose name begins with a hit's prefix.
UADNameMatcher::Indices UADNameMatcher::explicitMatches(const QString& lowerName) const
{
    Indices result;
    for (const auto& mapping : UADNameMatching::explicitMappings()) {
        if (lowerName.contains(mapping.profile)) {
            const Indices& rows = rowsOf(m_rowsWithPrefix, mapping.dbPrefix);
            result.insert(result.end(), rows.cbegin(), rows.cend());
        }
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

// The first UAD row that matches by name: the same cleaned name, one the profile name begins
// with (more than 4 characters), or one that begins with the profile name (the profile name
// longer than 4 characters).
qsizetype UADNameMatcher::firstByName(const QString& cleanedProfile) const
{
    qsizetype first = m_firstWithCleaned.value(cleanedProfile, kNone);
    const auto consider = [&first](qsizetype row) {
        if (first == kNone || row < first)
            first = row;
    };
    for (qsizetype length = 1; length < cleanedProfile.size(); ++length) {
        const auto it = m_firstWithCleaned.constFind(cleanedProfile.first(length));
        if (it != m_firstWithCleaned.cend() && m_cleanedLength[size_t(*it)] > 4)
            consider(*it);
    }
    if (characterCount(cleanedProfile) > 4) {
        auto it = std::lower_bound(m_sortedCleaned.cbegin(), m_sortedCleaned.cend(),
                                   std::pair<QString, qsizetype>(cleanedProfile, 0));
        for (; it != m_sortedCleaned.cend() && it->first.startsWith(cleanedProfile); ++it)
            consider(it->second);
    }
    return first;
}

// The last UAD row of two tokens or more that are all among the profile name's.
qsizetype UADNameMatcher::lastByTokens(const QString& profileName) const
{
    std::vector<int> profileIds;
    for (const QString& token : UADNameMatching::tokens(profileName)) {
        const auto id = m_tokenId.constFind(token);
        if (id != m_tokenId.cend())
            profileIds.push_back(*id);
    }
    std::sort(profileIds.begin(), profileIds.end());
    qsizetype last = kNone;
    // Any such row holds one of the profile's tokens: each token's rows, from the last.
    for (const int id : profileIds) {
        const Indices& rows = m_rowsWithToken[size_t(id)];
        for (auto it = rows.crbegin(); it != rows.crend() && *it > last; ++it) {
            const std::vector<int>& rowIds = m_tokenIds[size_t(*it)];
            if (std::includes(profileIds.cbegin(), profileIds.cend(), rowIds.cbegin(), rowIds.cend())) {
                last = *it;
                break;
            }
        }
    }
    return last;
}

QList<AudioPlugin> UADNameMatcher::matches(const QString& profileName) const
{
    QList<AudioPlugin> result;
    const Indices explicitRows = explicitMatches(profileName.toLower());
    if (!explicitRows.empty()) {
        for (const qsizetype i : explicitRows)
            result.append(m_rows[i]);
        return result;
    }

    // The first row that matches by name wins; without one, the last that shares the words.
    qsizetype best = firstByName(QString(profileName).remove(kUADPrefix).toLower());
    if (best == kNone)
        best = lastByTokens(profileName);
    if (best == kNone)
        return result;
    // Every format of the product and its mono variant, however the mark is spaced; the
    // best row itself always passes this test.
    for (const qsizetype i : rowsOf(m_rowsWithBase, m_base[size_t(best)]))
        result.append(m_rows[i]);
    return result;
}
