// viewer.h — the viewer's state and the first stage of every frame: motion integration and the
// view transform.
#pragma once

#include <cstdint>

// Position and eye height, as offsets of the world relative to the viewer.
extern float& worldOffsetX;
extern float& worldOffsetY;
extern float& groundZ;

// Horizontal velocity; the position moves by half of it per frame.
extern float& velocityX;
extern float& velocityY;

// Turning and looking, degrees and degrees per frame.
extern float& headingRate;
extern float& heading;
extern float& pitchRate;
extern float& pitchAccumulator;
extern float& pitch;

// Leaning and sway.
extern float& walkDirection;
extern float& strafeDirection;
extern float& forwardTilt;
extern float& sideTilt;
extern float& walkPhase;
extern float& strafePhase;

// Eye height: raise (right button) and crouch (C).
extern int32_t& raiseHeld;
extern int32_t& crouchHeld;
extern float& torsoHeight;
extern float& legHeight;

// Speeds and the dolly along the line of sight.
extern float& walkSpeed;
extern const float strafeSpeed;
extern float& viewDistance;

// Shared phase driving the rain and the head bob.
extern float& animationPhase;

extern const float fogColour[4];

// Frame opening, fog parameters, one frame of motion and the view transform.
void advanceViewer();

// Puts every variable above back to its start value.
void resetViewerState();
