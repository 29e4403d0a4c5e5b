#pragma once

#include "Platform/ApplicationLauncher.h"

#include <QList>
#include <QString>
#include <QStringList>

/// Records every start request; starts nothing.
class RecordingApplicationLauncher final : public ApplicationLauncher {
public:
    bool launchExecutable(const QString& path, const QStringList& arguments = {}) override
    {
        m_executables.append(path);
        m_arguments.append(arguments);
        return m_answer;
    }
    bool launchDesktopEntry(const QString& desktopId) override
    {
        m_desktopEntries.append(desktopId);
        return m_answer;
    }
    const QStringList& executables() const { return m_executables; }
    const QList<QStringList>& arguments() const { return m_arguments; }
    const QStringList& desktopEntries() const { return m_desktopEntries; }
    /// What both calls answer (true unless set).
    void setAnswer(bool started) { m_answer = started; }

private:
    QStringList m_executables;
    QList<QStringList> m_arguments;
    QStringList m_desktopEntries;
    bool m_answer = true;
};
