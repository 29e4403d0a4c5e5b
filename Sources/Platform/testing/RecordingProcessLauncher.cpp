#include "Platform/testing/RecordingProcessLauncher.h"
