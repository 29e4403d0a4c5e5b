#include "operations/StagingNames.h"

#include "Platform/AtomicFile.h"
#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"
#include "catalogue/DisabledLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {
// A few hundred bytes per move across file systems that is still under way.
constexpr qint64 kMaxFileBytes = 4LL * 1024 * 1024;
} // namespace

StagingNames::StagingNames(QString path) : m_path(std::move(path))
{
    const SmallFileRead file = readSmallFile(m_path, kMaxFileBytes);
    if (file.state != SmallFileRead::State::read)
        return;
    const QJsonArray array = QJsonDocument::fromJson(file.bytes).array();
    for (const QJsonValue value : array) {
        if (value.isString())
            m_paths.append(value.toString());
    }
}

QString StagingNames::defaultPath()
{
    return Paths::dataFile(QStringLiteral("staging_names.json"));
}

void StagingNames::add(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!path.isEmpty() && !m_paths.contains(path)) {
            m_paths.append(path);
            m_changed = true;
        }
    }
}

void StagingNames::forgetVanished()
{
    const qsizetype before = m_paths.size();
    m_paths.removeIf([](const QString& path) { return !DisabledLayout::pathExists(path); });
    m_changed = m_changed || m_paths.size() != before;
    saveOrPrint();
}

void StagingNames::removeLeftovers()
{
    const qsizetype before = m_paths.size();
    // Only a staging name is ever removed on this file's word, whoever edited it.
    m_paths.removeIf([](const QString& path) {
        return !DisabledLayout::isStagingPath(path) || QDir::cleanPath(path) != path || !path.startsWith(u'/') ||
               DisabledLayout::removeTree(path);
    });
    m_changed = m_changed || m_paths.size() != before;
    saveOrPrint();
}

void StagingNames::saveOrPrint()
{
    if (const QString reason = saveIfChanged(); !reason.isEmpty())
        Diagnostics::print(QStringLiteral("❌ Could not save %1: %2").arg(QFileInfo(m_path).fileName(), reason));
}

QString StagingNames::saveIfChanged()
{
    if (!m_changed)
        return {};
    if (m_paths.isEmpty()) {
        if (QFile::exists(m_path) && !QFile::remove(m_path))
            return QStringLiteral("cannot remove %1").arg(m_path);
        m_changed = false;
        return {};
    }
    QJsonArray array;
    for (const QString& path : std::as_const(m_paths))
        array.append(path);
    QString reason = writeFileAtomically(m_path, QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (reason.isEmpty())
        m_changed = false;
    return reason;
}
