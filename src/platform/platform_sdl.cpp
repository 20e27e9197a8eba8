// SCAFFOLD: replaced by the owning work item.
#include "platform/platform.h"
const PlatformLayer sdlPlatformLayer = {};
const PlatformLayer* platform = &sdlPlatformLayer;
