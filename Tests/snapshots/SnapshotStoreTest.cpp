#include "snapshots/SnapshotStoreTest.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

QStringList SnapshotStoreTest::tree(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        entries.append(QFileInfo(path).isDir() ? relative + u'/' : relative + u'=' + QString::fromUtf8(readFile(path)));
    }
    entries.sort();
    return entries;
}

QStringList SnapshotStoreTest::hiddenNames(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QStringList SnapshotStoreTest::names(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
