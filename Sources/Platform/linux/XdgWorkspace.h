#pragma once

#include "Platform/Workspace.h"

/// Opens addresses and files through the desktop (xdg-open and friends, via Qt).
class XdgWorkspace final : public Workspace {
public:
    bool openUrl(const QUrl& url) override;
};
