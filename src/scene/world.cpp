// SCAFFOLD: replaced by the owning work item.
#include "scene/world.h"
#include "scene/hud.h"
#include "scene/viewer.h"
int32_t renderFrame() {
    advanceViewer();
    updateFrameTiming();
    drawHudOverlay();
    return 1;
}
