#include "operations/DisabledOrigins.h"

#include "Platform/AtomicFile.h"
#include "Platform/Paths.h"
#include "catalogue/DisabledLayout.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {
// One record per disabled bundle: a few hundred bytes each.
constexpr qint64 kMaxOriginsFileBytes = 64LL * 1024 * 1024;
} // namespace

DisabledOrigins::DisabledOrigins(QString path) : m_path(std::move(path))
{
    const SmallFileRead file = readSmallFile(m_path, kMaxOriginsFileBytes);
    if (file.state == SmallFileRead::State::missing)
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.bytes, &error);
    // A damaged file is kept aside at the next save rather than overwritten: it holds
    // the only record of where each bundle came from.
    m_fileUnreadable = file.state == SmallFileRead::State::unreadable || error.error != QJsonParseError::NoError ||
                       !document.isObject();
    if (m_fileUnreadable)
        return;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString())
            m_origins.insert(it.key(), it.value().toString());
    }
}

QString DisabledOrigins::defaultPath()
{
    return Paths::dataFile(QStringLiteral("disabled_origins.json"));
}

void DisabledOrigins::record(const QString& disabledPath, const QString& originalPath)
{
    m_origins.insert(disabledPath, originalPath);
    m_changed = true;
}

void DisabledOrigins::forget(const QString& disabledPath)
{
    if (m_origins.remove(disabledPath) > 0)
        m_changed = true;
}

QList<AudioPlugin> DisabledOrigins::apply(QList<AudioPlugin> scanned)
{
    QHash<QString, qsizetype> found;
    for (qsizetype i = 0; i < scanned.size(); ++i)
        found.insert(scanned[i].currentPath, i);

    for (auto it = m_origins.begin(); it != m_origins.end();) {
        const auto match = found.constFind(it.key());
        if (match == found.constEnd()) {
            // Kept while either of its paths holds a bundle: a batch may not have moved it yet
            // (its script can outlive this program). Gone from both, it speaks for nothing.
            if (!DisabledLayout::pathExists(it.key()) && !DisabledLayout::pathExists(it.value())) {
                it = m_origins.erase(it);
                m_changed = true;
                continue;
            }
            ++it;
            continue;
        }
        AudioPlugin& plugin = scanned[*match];
        const QString disabledName = DisabledLayout::fileName(it.key());
        const QString originalName = DisabledLayout::fileName(it.value());
        plugin.originalPath = it.value();
        if (disabledName != originalName && plugin.name == DisabledLayout::splitFileName(disabledName).base)
            plugin.name = DisabledLayout::splitFileName(originalName).base;
        ++it;
    }
    return scanned;
}

QString DisabledOrigins::saveIfChanged()
{
    if (!m_changed)
        return {};
    QJsonObject object;
    for (auto it = m_origins.cbegin(); it != m_origins.cend(); ++it)
        object.insert(it.key(), it.value());
    const SideFileWrite write =
        writeSideFile(m_path, QJsonDocument(object).toJson(QJsonDocument::Compact), m_fileUnreadable);
    m_fileUnreadable = write.unreadableFileStays;
    if (write.succeeded())
        m_changed = false;
    return write.failure;
}
