// world.h — the per-frame routine and the fixed world it draws.
#pragma once

#include <cstdint>

// Draws one frame into the back buffer. Always 1.
int32_t renderFrame();
