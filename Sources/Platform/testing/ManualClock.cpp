#include "Platform/testing/ManualClock.h"
