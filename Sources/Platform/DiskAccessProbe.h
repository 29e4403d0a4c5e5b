#pragma once

/// Whether the program may read the folders it manages. Where the desktop guards them
/// with a permission of its own, the backend asks about that permission; elsewhere the
/// folders' own modes decide.
class DiskAccessProbe {
public:
    virtual ~DiskAccessProbe() = default;
    /// True when access is there. Never fails: anything it cannot tell counts as no access.
    virtual bool hasAccess() const = 0;
};
