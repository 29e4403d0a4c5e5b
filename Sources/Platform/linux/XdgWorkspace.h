#pragma once

#include "Platform/Workspace.h"

/// Opens addresses and files through the desktop (xdg-open and friends, via Qt).
class XdgWorkspace final : public Workspace {
public:
    bool openUrl(const QUrl& url) override;

    /// Whether the desktop names an application for addresses of `scheme`. Files and web
    /// addresses always have one; for any other scheme xdg-open would fall back to the web
    /// browser, which cannot open it either.
    static bool hasHandler(const QString& scheme);
};
