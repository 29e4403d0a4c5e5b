#pragma once

#include "catalogue/PluginModels.h"

#include <QHash>
#include <QList>
#include <QString>

/// Where each disabled bundle came from, in D/disabled_origins.json (a JSON object
/// from disabled path to original path). The folder alone cannot tell that "X 1.vst3"
/// was "X.vst3", or that a bundle came from the user's own plug-in folder, so every
/// disable records it and the scan's guess is corrected from here.
class DisabledOrigins final {
public:
    /// Loads the file (a missing or unreadable one is empty; an unreadable one is kept
    /// aside before the first save replaces it).
    explicit DisabledOrigins(QString path = defaultPath());
    static QString defaultPath();

    const QHash<QString, QString>& origins() const { return m_origins; }
    void record(const QString& disabledPath, const QString& originalPath);
    void forget(const QString& disabledPath);

    /// Corrects scanned records whose bundle sits at a recorded disabled path: their
    /// originalPath becomes the recorded one and, when the bundle was given a free name,
    /// their name the original file's base. A record is dropped only when neither of its
    /// paths holds anything (a batch still running may not have moved its bundle yet).
    QList<AudioPlugin> apply(QList<AudioPlugin> scanned);

    /// Writes the file when something changed. Returns an empty string or the reason.
    [[nodiscard]] QString saveIfChanged();

private:
    QString m_path;
    QHash<QString, QString> m_origins;
    bool m_changed = false;
    bool m_fileUnreadable = false;
};
