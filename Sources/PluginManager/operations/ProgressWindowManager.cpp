#include "operations/ProgressWindowManager.h"

#include "Platform/InstalledInstance.h"

#include <QCoreApplication>

void ProgressHUDModel::setLabel(const QString& label)
{
    m_label = label;
    Q_EMIT labelChanged();
}

void ProgressHUDModel::setCount(int count)
{
    m_count = count;
    Q_EMIT countChanged();
}

void ProgressHUDModel::setProgress(double progress)
{
    m_progress = progress;
    Q_EMIT progressChanged();
}

ProgressWindowManager& ProgressWindowManager::shared()
{
    if (ProgressWindowManager* installed = InstalledInstance<ProgressWindowManager>::get())
        return *installed;
    // Parented to the application so it goes before the application object does.
    static QPointer<ProgressWindowManager> instance;
    if (!instance)
        instance = new ProgressWindowManager(QCoreApplication::instance());
    return *instance;
}

ProgressWindowManager::ProgressWindowManager(QObject* parent) : QObject(parent), m_hudModel(new ProgressHUDModel(this))
{
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    m_closeTimer.setInterval(kCloseDelayMs);
    connect(&m_closeTimer, &QTimer::timeout, this, &ProgressWindowManager::closePanel);
}

void ProgressWindowManager::show(const QString& label, int count)
{
    Q_ASSERT(count >= 0);
    // A close still pending from the previous run must not take this run's panel away.
    m_closeTimer.stop();
    ProgressHUDModel* previous = m_hudModel;
    auto* model = new ProgressHUDModel(this);
    model->setLabel(label);
    model->setCount(count);
    model->setProgress(0.0);
    m_hudModel = model;
    m_hasPanel = true;
    m_visible = true;
    Q_EMIT hudModelChanged(model);
    Q_EMIT panelShown();
    if (previous)
        previous->deleteLater();
}

void ProgressWindowManager::hide()
{
    if (m_hudModel)
        m_hudModel->setProgress(1.0);
    m_closeTimer.start();
}

void ProgressWindowManager::closePanel()
{
    if (!m_hasPanel)
        return;
    m_visible = false;
    Q_EMIT panelClosed();
}
