#pragma once

#include "Platform/ProcessLauncher.h"

#include <QList>
#include <QString>
#include <QStringList>

/// Records every start request; starts nothing.
class RecordingProcessLauncher final : public ProcessLauncher {
public:
    struct Launch {
        QString appPath;
        QStringList arguments;
    };
    bool openApplication(const QString& appPath, const QStringList& arguments) override
    {
        m_launches.append({appPath, arguments});
        return m_answer;
    }
    const QList<Launch>& launches() const { return m_launches; }
    /// What openApplication answers (true unless set).
    void setAnswer(bool started) { m_answer = started; }

private:
    QList<Launch> m_launches;
    bool m_answer = true;
};
