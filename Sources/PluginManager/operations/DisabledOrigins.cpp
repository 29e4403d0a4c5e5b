#include "DisabledOrigins.h"

#include "DisabledLayout.h"

#include "Platform/AtomicFile.h"
#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

DisabledOrigins::DisabledOrigins(QString path) : m_path(std::move(path))
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
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
            // The bundle was moved or removed behind our back: the record no longer speaks for anything.
            if (!DisabledLayout::pathExists(it.key())) {
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
    QString reason = writeFileAtomically(m_path, QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (reason.isEmpty())
        m_changed = false;
    else
        Diagnostics::print(QStringLiteral("❌ Failed to save disabled origins: ") + reason);
    return reason;
}
