#include "Platform/testing/RecordingWorkspace.h"
