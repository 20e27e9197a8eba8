// SCAFFOLD: replaced by the owning work item.
#include "scene/viewer.h"
float worldOffsetX = 0, worldOffsetY = 0, groundZ = 0, velocityX = 0, velocityY = 0;
float headingRate = 0, heading = 0, pitchRate = 0, pitchAccumulator = 0, pitch = 0;
float walkDirection = 0, strafeDirection = 0, forwardTilt = 0, sideTilt = 0;
float walkPhase = 0, strafePhase = 0;
int32_t raiseHeld = 0, crouchHeld = 0;
float torsoHeight = 0, legHeight = 0, walkSpeed = 0.1f;
const float strafeSpeed = 0.1f;
float viewDistance = 0, animationPhase = 0;
const float fogColour[4] = {0.3f, 0.3f, 0.5f, 1.0f};
void advanceViewer() {}
