#pragma once

#include "PluginManagerViewModel.h"

#include <QObject>
#include <QPointer>

/// The process-wide UAD demo clean-up state that the root view presents as a sheet.
/// The clean-up itself (exporting and matching the vendor's system profile) comes
/// with its own sheet later; for now startCleanup() only raises the sheet flag and
/// counts the request, so the hidden key sequence has a real target.
class UADCleanupManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UADCleanupManager)
public:
    static UADCleanupManager& shared();
    explicit UADCleanupManager(QObject* parent = nullptr);

    bool showCleanupSheet() const { return m_showCleanupSheet; }
    void setShowCleanupSheet(bool show);

    /// The window's view model, set right before startCleanup().
    PluginManagerViewModel* pluginManager() const { return m_pluginManager; }
    void setPluginManager(PluginManagerViewModel* viewModel) { m_pluginManager = viewModel; }

    /// Shows the clean-up sheet. Never fails towards its caller.
    void startCleanup();
    int startCount() const { return m_startCount; }

Q_SIGNALS:
    void showCleanupSheetChanged();
    void cleanupStarted();

private:
    bool m_showCleanupSheet = false;
    QPointer<PluginManagerViewModel> m_pluginManager;
    int m_startCount = 0;
};
