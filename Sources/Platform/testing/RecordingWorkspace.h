#pragma once

#include "Platform/Workspace.h"

#include <QList>
#include <QUrl>

/// Records every address it is asked to open.
class RecordingWorkspace final : public Workspace {
public:
    bool openUrl(const QUrl& url) override
    {
        m_opened.append(url);
        return m_answer;
    }
    const QList<QUrl>& opened() const { return m_opened; }
    void setAnswer(bool opened) { m_answer = opened; }

private:
    QList<QUrl> m_opened;
    bool m_answer = true;
};
