#pragma once

#include "PluginModels.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>
#include <optional>
#include <utility>

/// Finds every plug-in bundle in the plug-in folders, the disabled-folder layout and
/// the Waves folders, and turns each into an AudioPlugin record. Never changes a bundle.
/// Runs synchronously on the calling (main) thread.
class PluginScanner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PluginScanner)
public:
    explicit PluginScanner(QObject* parent = nullptr);

    /// One complete scan; the result lands in discoveredPlugins(). Never fails.
    void scanAllPlugins();

    const QList<AudioPlugin>& discoveredPlugins() const { return m_discoveredPlugins; }
    bool isScanning() const { return m_isScanning; }
    double scanProgress() const { return m_scanProgress; }
    const std::optional<PluginError>& scanError() const { return m_scanError; }

    /// R + "/Library/Audio/Plug-Ins/Disabled".
    static QString centralDisabledDirectory();

    /// Lower-cased manufacturer names that carry no information (17).
    static const QSet<QString>& genericManufacturers();
    /// Lower-cased vendor spellings and the name shown for each (18).
    static const QHash<QString, QString>& manufacturerNormalization();

    /// Exposed for tests: the manufacturer clean-up run after the walk.
    QList<AudioPlugin> crossReferenceManufacturers(QList<AudioPlugin> plugins) const;
    /// Exposed for tests: the record of one bundle (none for WaveShell bundles).
    std::optional<AudioPlugin> createPluginFromURL(const QString& bundlePath, PluginFormat format) const;
    /// Exposed for tests: the final order of a scan. Stable, by name in code-point order
    /// of the NFC form, case-sensitive; an empty name sorts as "Unknown Plugin".
    static void sortByName(QList<AudioPlugin>& plugins);

Q_SIGNALS:
    void discoveredPluginsChanged();
    void isScanningChanged(bool scanning);
    void scanProgressChanged(double progress);

private:
    /// The sandboxed folder texts the status and return-path rules compare against,
    /// taken once per scan so the walk does not re-read the environment per bundle.
    struct FolderRules {
        QString centralDisabled;
        QString avidSystemFolder;
        std::array<QString, 6> systemFolder; // first systemPaths entry, by format
    };
    /// (device, inode) of a folder: its identity however it was reached.
    using FolderId = std::pair<quint64, quint64>;

    static FolderRules currentFolderRules();
    /// `nativeRef` is the bundle's path relative to the open folder `atFd` (or absolute, with AT_FDCWD).
    static std::optional<AudioPlugin> createPlugin(int atFd, const QByteArray& nativeRef, const QString& path,
                                                   PluginFormat format, const FolderRules& rules);

    void createCentralDisabledDirectoryIfNeeded();
    QList<AudioPlugin> scanPluginsForFormat(PluginFormat format);
    QList<AudioPlugin> scanWavesBundlePlugins();
    QList<AudioPlugin> scanDirectory(const QString& path, PluginFormat format);
    void recursivelyScanDirectory(int atFd, const QByteArray& nativeRef, const QString& path, PluginFormat format,
                                  QList<AudioPlugin>& plugins, QSet<FolderId>& visited);
    static QString getOriginalPath(const QString& bundlePath, PluginFormat format, const FolderRules& rules);

    FolderRules m_rules;
    QList<AudioPlugin> m_discoveredPlugins;
    bool m_isScanning = false;
    double m_scanProgress = 0.0;
    std::optional<PluginError> m_scanError;
};
