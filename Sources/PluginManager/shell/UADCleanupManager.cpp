#include "UADCleanupManager.h"

#include "PluginManagerViewModel.h"

UADCleanupManager& UADCleanupManager::shared()
{
    static UADCleanupManager* instance = new UADCleanupManager();
    return *instance;
}

UADCleanupManager::UADCleanupManager(QObject* parent) : QObject(parent) {}

void UADCleanupManager::setShowCleanupSheet(bool show)
{
    if (m_showCleanupSheet == show)
        return;
    m_showCleanupSheet = show;
    Q_EMIT showCleanupSheetChanged();
}

void UADCleanupManager::startCleanup()
{
    ++m_startCount;
    setShowCleanupSheet(true);
    Q_EMIT cleanupStarted();
}
