// SCAFFOLD: replaced by the owning work item.
#include "scene/hud.h"
float clockSeconds = 0;
uint32_t fpsFrameCount = 0;
float fpsPeriodStart = 0;
float framesPerSecond = 0;
void updateFrameTiming() {}
void drawHudOverlay() {}
