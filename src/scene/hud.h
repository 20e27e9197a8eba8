// hud.h — the frame timing and the heads-up overlay.
#pragma once

#include <cstdint>

extern float clockSeconds;
extern uint32_t fpsFrameCount;
extern float fpsPeriodStart;
extern float framesPerSecond;

// Reads the clock, counts the frame, advances animationPhase and updates the frame rate.
void updateFrameTiming();

// Prints the four overlay lines over the finished picture.
void drawHudOverlay();
