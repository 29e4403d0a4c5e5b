#include "Platform/testing/ScriptedUADControlPanel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString ScriptedUADControlPanel::requestExport()
{
    ++m_requests;
    if (m_path) {
        QDir().mkpath(QFileInfo(*m_path).absolutePath());
        QFile file(*m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(m_bytes);
    }
    return m_requestError;
}
