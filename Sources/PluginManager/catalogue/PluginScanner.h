#pragma once

#include "PluginModels.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

/// Finds every plug-in bundle in the plug-in folders, the disabled-folder layout and
/// the Waves folders, and turns each into an AudioPlugin record. Never changes a bundle.
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

    /// Exposed for tests: the manufacturer clean-up run after the walk.
    QList<AudioPlugin> crossReferenceManufacturers(QList<AudioPlugin> plugins) const;
    /// Exposed for tests: the record of one bundle (none for WaveShell bundles).
    std::optional<AudioPlugin> createPluginFromURL(const QString& bundlePath, PluginFormat format) const;

Q_SIGNALS:
    void discoveredPluginsChanged();
    void isScanningChanged(bool scanning);
    void scanProgressChanged(double progress);

private:
    void createCentralDisabledDirectoryIfNeeded();
    QList<AudioPlugin> scanPluginsForFormat(PluginFormat format);
    QList<AudioPlugin> scanWavesBundlePlugins();
    QList<AudioPlugin> scanDirectory(const QString& path, PluginFormat format);
    void recursivelyScanDirectory(const QString& path, PluginFormat format, QList<AudioPlugin>& plugins,
                                  QSet<QString>& visited);
    QString getOriginalPath(const QString& bundlePath, PluginFormat format) const;

    QList<AudioPlugin> m_discoveredPlugins;
    bool m_isScanning = false;
    double m_scanProgress = 0.0;
    std::optional<PluginError> m_scanError;
};
