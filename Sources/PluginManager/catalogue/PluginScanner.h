#pragma once

#include "catalogue/PluginModels.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <utility>

/// Finds every plug-in bundle in the plug-in folders, the disabled-folder layout and
/// the Waves folders, and turns each into an AudioPlugin record. Never changes a bundle.
/// The folders are walked and the bundles read by a pool of threads; the records come
/// out in the same order whatever the number of threads.
class PluginScanner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PluginScanner)
public:
    explicit PluginScanner(QObject* parent = nullptr);

    /// One complete scan on the calling thread (helped by a pool); the result lands in
    /// discoveredPlugins(). Never fails. `threads` 0 picks WorkPool::defaultThreadCount().
    void scanAllPlugins(int threads = 0);

    /// The same scan as a plain function, safe to run on any thread: it touches no
    /// QObject. `formatDone` (may be empty) is called on the calling thread with the
    /// share of formats done, in format order.
    static QList<AudioPlugin> scan(int threads = 0, const std::function<void(double)>& formatDone = {});

    const QList<AudioPlugin>& discoveredPlugins() const { return m_discoveredPlugins; }
    bool isScanning() const { return m_isScanning; }
    double scanProgress() const { return m_scanProgress; }
    const std::optional<PluginError>& scanError() const { return m_scanError; }

    /// R + the central disabled folder (PluginFolderTable).
    static QString centralDisabledDirectory();
    /// Makes the central disabled folder (hidden) and its format folders where missing; a
    /// failure is printed. Every scanner does it when it is created.
    static void createCentralDisabledDirectoryIfNeeded();

    /// Lower-cased manufacturer names that carry no information (17).
    static const QSet<QString>& genericManufacturers();
    /// Lower-cased vendor spellings and the name shown for each (18).
    static const QHash<QString, QString>& manufacturerNormalization();

    /// Exposed for tests: the manufacturer clean-up run after the walk.
    static QList<AudioPlugin> crossReferenceManufacturers(QList<AudioPlugin> plugins);
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
    QList<AudioPlugin> m_discoveredPlugins;
    bool m_isScanning = false;
    double m_scanProgress = 0.0;
    std::optional<PluginError> m_scanError;
};
