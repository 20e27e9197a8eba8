// hud.cpp — the frame timing (frame rate and the advance of the shared animation phase) and the
// heads-up overlay printed over every finished frame.
#include "scene/hud.h"

#include <GL/gl.h>

#include <cstdio>

#include "app/main_window.h"
#include "draw/font.h"
#include "platform/platform.h"
#include "scene/viewer.h"

// The frame timing, with its start values written once, here; the names refer to its fields.
struct FrameTimingState {
    float clockSeconds = 0;
    uint32_t fpsFrameCount = 0;
    float fpsPeriodStart = 0;
    float framesPerSecond = 0;
};
static FrameTimingState frameTiming;

void resetHudState() {
    frameTiming = FrameTimingState();
}

float& clockSeconds = frameTiming.clockSeconds;
uint32_t& fpsFrameCount = frameTiming.fpsFrameCount;
float& fpsPeriodStart = frameTiming.fpsPeriodStart;
float& framesPerSecond = frameTiming.framesPerSecond;

// The frame rate is measured over periods of a little more than 0.2 s: frames are counted until
// the clock has moved strictly more than 0.2 s past the start of the period, then the count over
// the elapsed time becomes the printed rate and a new period begins. The clock is kept in single
// precision seconds, so whether a frame exactly 200 ms after the period start closes it depends
// on how the two readings round.
//
// animationPhase advances by the running count, 1 in the first frame of a period, 2 in the
// second and so on, so the rain falls and the head bobs faster the more frames come per second.
//
// A clock reading earlier than the period start (the 32-bit millisecond counter wraps around
// after about 49.7 days) would otherwise freeze the rate until the clock caught up again, while
// the count and with it the per-frame advance of the phase grew without bound, so the rain would
// race and the head bob would go wild. Such a reading starts a new period instead.
void updateFrameTiming() {
    clockSeconds = static_cast<float>(platform->milliseconds()) * 0.001f;
    fpsFrameCount = fpsFrameCount + 1;
    animationPhase = animationPhase + static_cast<float>(fpsFrameCount);
    const float elapsed = clockSeconds - fpsPeriodStart;
    if (elapsed > 0.2) {
        framesPerSecond = static_cast<float>(fpsFrameCount) / elapsed;
        fpsPeriodStart = clockSeconds;
        fpsFrameCount = 0;
    } else if (elapsed < 0) {
        fpsPeriodStart = clockSeconds;
        fpsFrameCount = 0;
    }
}

int formatHudLine(int32_t line, char* hudLine, size_t capacity) {
    switch (line) {
        case 1:
            return std::snprintf(hudLine, capacity, "Kalimbor v.1.4");
        case 2:
            return std::snprintf(hudLine, capacity, "Rozlisenie:%dx%d@%d bit\n", windowWidth,
                                 windowHeight, colorBits);
        case 3:
            // The offsets hold the world relative to the viewer; negated they are the viewer's
            // ground position and eye height.
            return std::snprintf(
                hudLine, capacity, "Pozicia(x,y,z): %2.2f, %2.2f, %2.2f FPS: %2.2f\n",
                static_cast<double>(-worldOffsetX), static_cast<double>(-worldOffsetY),
                static_cast<double>(-groundZ), static_cast<double>(framesPerSecond));
        case 4:
            return std::snprintf(
                hudLine, capacity,
                "Uhly(x,z,sklon priamy, sklon bocny): %2.2f, %2.2f, %2.2f, %2.2f\n",
                static_cast<double>(pitch), static_cast<double>(heading),
                static_cast<double>(forwardTilt), static_cast<double>(sideTilt));
        default:
            if (capacity > 0) hudLine[0] = '\0';
            return 0;
    }
}

// Title and display mode at the top left, position with frame rate and the view angles at the
// bottom left. Line 3 keeps the tint of line 2. The line feeds that end lines 2 to 4 go to
// drawText with the rest and print nothing in glyph set 0.
void drawHudOverlay() {
    char hudLine[hudLineSize];
    glColor3f(1.0f, 1.0f, 1.0f);
    formatHudLine(1, hudLine, sizeof hudLine);
    drawText(2, 753, hudLine, 0);
    glColor3f(0.7f, 0.7f, 1.0f);
    formatHudLine(2, hudLine, sizeof hudLine);
    drawText(2, 738, hudLine, 0);
    formatHudLine(3, hudLine, sizeof hudLine);
    drawText(2, 20, hudLine, 0);
    glColor3f(1.0f, 0.7f, 0.7f);
    formatHudLine(4, hudLine, sizeof hudLine);
    drawText(2, 2, hudLine, 0);
}
