#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/testing/ManualClock.h"
#include "Platform/testing/MemoryDefaultsStore.h"
#include "Platform/testing/RecordingNotificationCenter.h"
#include "Platform/testing/RecordingProcessLauncher.h"
#include "Platform/testing/RecordingRunner.h"
#include "Platform/testing/RecordingWorkspace.h"

#include <memory>

/// Platform services for a benchmark's view model: doubles that record and never prompt.
inline PlatformServices recordingServices(std::shared_ptr<ManualClock> clock)
{
    PlatformServices services;
    services.privilegedRunner = std::make_shared<RecordingRunner>();
    services.notificationCenter = std::make_shared<RecordingNotificationCenter>();
    services.defaults = std::make_shared<MemoryDefaultsStore>();
    services.processLauncher = std::make_shared<RecordingProcessLauncher>();
    services.workspace = std::make_shared<RecordingWorkspace>();
    services.clock = std::move(clock);
    return services;
}
