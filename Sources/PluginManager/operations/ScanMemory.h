#pragma once

#include "catalogue/PluginModels.h"

#include <QList>

/// What a window that keeps a scan's rows does so they hold as few pages as they need.
namespace ScanMemory {

/// Gives the rows' texts copies made on this thread, one after another. The scan's threads
/// made them among their own short-lived blocks, whose freed holes would keep part-used pages
/// resident for as long as the window keeps the rows. Texts the rows share stay shared; every
/// value stays the same.
void packTexts(QList<AudioPlugin>& plugins);

/// Has the threads share the allocator's pools, one per core at most, from now on. Each pool a
/// scan's threads used keeps some freed pages at its top for good, and the allocator's own
/// limit, eight per core, let a window that scanned once keep some 4 MB that way. Takes
/// effect only while few threads have allocated, so it is called before the first scan.
void sharePoolsPerCore();

/// Has every thread's pool give its freed top pages back as the allocator did before the scan.
/// Large blocks coming and going, as a scan's do, raise the size of freed top it keeps, and a
/// pool other than the main one is trimmed only then, so a window that scanned would carry
/// megabytes of freed pages. Rescans then take a little longer, on their own thread.
void returnFreedPagesPromptly();

} // namespace ScanMemory
