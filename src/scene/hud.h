// hud.h — the frame timing and the heads-up overlay.
#pragma once

#include <cstddef>
#include <cstdint>

extern float& clockSeconds;
extern uint32_t& fpsFrameCount;
extern float& fpsPeriodStart;
extern float& framesPerSecond;

// Puts the frame timing above back to its start values.
void resetHudState();

// Reads the clock, counts the frame, advances animationPhase and updates the frame rate.
void updateFrameTiming();

// Prints the four overlay lines over the finished picture.
void drawHudOverlay();

// Room for the longest overlay line, with its terminating NUL. The widest conversion is %2.2f of
// a float of the largest magnitude, -FLT_MAX: a sign, 39 integer digits, the point and two
// decimals, 43 characters (nan and inf print shorter). Line 4 is the longest: 44 characters of
// its own text around four such numbers, 216 in all. Line 3 needs at most 27 + 4 x 43 = 199 and
// line 2 at most 18 + 3 x 11 = 51 (an int prints at most 11 characters, "-2147483648").
constexpr size_t hudLineSize = 44 + 4 * 43 + 1;

// Formats overlay line 1..4 from the current program-wide values into hudLine, at most capacity
// bytes and always terminated. Returns the length the whole line needs, as snprintf does.
int formatHudLine(int32_t line, char* hudLine, size_t capacity);
