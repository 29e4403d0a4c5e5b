#pragma once

#include <QString>
#include <QUrl>

/// The desktop environment's "open this": web addresses in the browser, files in
/// their default application.
class Workspace {
public:
    virtual ~Workspace() = default;
    /// Returns false when nothing could be asked to open it.
    virtual bool openUrl(const QUrl& url) = 0;
};
