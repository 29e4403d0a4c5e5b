#pragma once

#include <QString>
#include <QStringList>

/// The hidden staging names that moves across file systems are about to create, in
/// D/staging_names.json (a JSON array of paths), written before the move. A move killed
/// part-way leaves its copy or its set-aside original under such a name; start-up removes
/// them from here, and only them: nothing else is ever removed on its word.
class StagingNames final {
public:
    /// Loads the file (a missing or damaged one is empty: it only names leftovers).
    explicit StagingNames(QString path = defaultPath());
    static QString defaultPath();

    const QStringList& paths() const { return m_paths; }
    void add(const QStringList& paths);
    /// Drops the names that nothing occupies any more, and saves. A failure to save is only
    /// printed: a name that nothing occupies is dropped again at the next start.
    void forgetVanished();
    /// Removes every recorded name still on disk (as the user; one that cannot be removed
    /// stays recorded), then saves as forgetVanished() does. Names that are not staging names
    /// are dropped unread.
    void removeLeftovers();

    /// Writes the file when something changed (removes it when empty). Returns an empty
    /// string or the reason.
    [[nodiscard]] QString saveIfChanged();

private:
    void saveOrPrint();

    QString m_path;
    QStringList m_paths;
    bool m_changed = false;
};
