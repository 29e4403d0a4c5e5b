#pragma once

#include "Platform/DiskAccessProbe.h"

#include <QStringList>

/// Access means what the program needs of the disk: every plug-in folder under R and H
/// that exists, and the folders of the disabled layout, can be listed. Folders that do
/// not exist are not asked about; a folder that exists but cannot be opened (or whose
/// path cannot be searched) means no access.
class FolderListingProbe final : public DiskAccessProbe {
public:
    bool hasAccess() const override;

    /// The folders asked about now (paths are read from the environment on every call).
    static QStringList guardedFolders();
};
