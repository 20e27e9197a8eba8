// viewer.cpp — the viewer's state and the first stage of every frame: the frame opening, one frame
// of motion (damping, position, eye height, turning, pitch, leaning) and the view transform.
//
// The state is single precision; every product and sum is formed in double and rounded once when
// stored, and sines are taken in double. All constants are per frame: the input bindings add
// velocity and rates per frame step, and this stage damps and integrates them per rendered frame.
#include "scene/viewer.h"

#include <GL/gl.h>

#include <cmath>

#include "draw/primitives.h"

// The viewer's mutable state, with its start values written once, here: the program starts from
// them and resetViewerState puts them back. The program-wide names refer to its fields.
struct ViewerState {
    float worldOffsetX = 0;
    float worldOffsetY = 0;
    float groundZ = 0;

    float velocityX = 0;
    float velocityY = 0;

    float headingRate = 0;
    float heading = 0;
    float pitchRate = 0;
    float pitchAccumulator = 0;
    float pitch = 0;

    float walkDirection = 0;
    float strafeDirection = 0;
    float forwardTilt = 0;
    float sideTilt = 0;
    float walkPhase = 0;
    float strafePhase = 0;

    int32_t raiseHeld = 0;
    int32_t crouchHeld = 0;
    float torsoHeight = 0;
    float legHeight = 0;

    float walkSpeed = 0.1f;
    float viewDistance = 0;

    float animationPhase = 0;
};
static ViewerState viewerState;

void resetViewerState() {
    viewerState = ViewerState();
}

float& worldOffsetX = viewerState.worldOffsetX;
float& worldOffsetY = viewerState.worldOffsetY;
float& groundZ = viewerState.groundZ;
float& velocityX = viewerState.velocityX;
float& velocityY = viewerState.velocityY;
float& headingRate = viewerState.headingRate;
float& heading = viewerState.heading;
float& pitchRate = viewerState.pitchRate;
float& pitchAccumulator = viewerState.pitchAccumulator;
float& pitch = viewerState.pitch;
float& walkDirection = viewerState.walkDirection;
float& strafeDirection = viewerState.strafeDirection;
float& forwardTilt = viewerState.forwardTilt;
float& sideTilt = viewerState.sideTilt;
float& walkPhase = viewerState.walkPhase;
float& strafePhase = viewerState.strafePhase;
int32_t& raiseHeld = viewerState.raiseHeld;
int32_t& crouchHeld = viewerState.crouchHeld;
float& torsoHeight = viewerState.torsoHeight;
float& legHeight = viewerState.legHeight;
float& walkSpeed = viewerState.walkSpeed;
float& viewDistance = viewerState.viewDistance;
float& animationPhase = viewerState.animationPhase;

const float strafeSpeed = 0.1f;
const float fogColour[4] = {0.3f, 0.3f, 0.5f, 1.0f};

// Clears the frame and sets the fog up. Fog stays off: the world is drawn without it.
static void openFrame() {
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFogfv(GL_FOG_COLOR, fogColour);
    glFogf(GL_FOG_DENSITY, 0.007f);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glDisable(GL_FOG);
}

// Damps the velocity, then moves the world the opposite way by half of what is left.
static void moveViewer() {
    velocityX *= 0.89;
    velocityY *= 0.89;
    worldOffsetX -= velocityX / 2;
    worldOffsetY -= velocityY / 2;
}

// The eye stands at the heights of the previous frame plus a small bob; the ramps then move
// towards this frame's targets: torso 10..15 (raised), legs 2..10 (crouched).
static void setEyeHeight() {
    double bob = 0.1 * std::sin(animationPhase * 0.25 * static_cast<double>(degToRad));
    groundZ = -(bob + (static_cast<double>(torsoHeight) + legHeight));

    if (raiseHeld == 1) {
        torsoHeight += 0.5;
        if (torsoHeight > 15) torsoHeight = 15;
    } else if (raiseHeld == 0) {
        torsoHeight -= 0.5;
        if (torsoHeight < 10) torsoHeight = 10;
    }
    if (crouchHeld == 1) {
        legHeight -= 0.4;
        if (legHeight < 2) legHeight = 2;
    } else if (crouchHeld == 0) {
        legHeight += 0.4;
        if (legHeight > 10) legHeight = 10;
    }
}

// Turn and pitch rates decay by 0.7 per frame, smoothing the mouse. The pitch accumulator is not
// limited, so after looking past straight up the view turns down only once it has come back.
static void turnAndPitch() {
    headingRate *= 0.7;
    heading += headingRate;
    pitchRate *= 0.7;
    pitchAccumulator += pitchRate;
    pitch = pitchAccumulator;
    if (pitch > 0) pitch = 0;
    if (pitch < -180) pitch = -180;
}

// Moves a lean 0.2 per frame towards -limit (direction 1), +limit (direction -1), or back to
// exactly 0 (direction 0).
static void leanTowards(float& tilt, float direction, float limit) {
    if (direction == 1) {
        tilt -= 0.2;
        if (tilt < -limit) tilt = -limit;
    } else if (direction == -1) {
        tilt += 0.2;
        if (tilt > limit) tilt = limit;
    } else if (direction == 0) {
        if (tilt > 0) {
            tilt -= 0.2;
            if (tilt < 0) tilt = 0;
        }
        if (tilt < 0) {
            tilt += 0.2;
            if (tilt > 0) tilt = 0;
        }
    }
}

// The last call acts first on world coordinates: heading, pitch, the leans, the sway, and the
// dolly along the line of sight. The sway takes 0.2 x phase directly as radians.
static void applyViewTransform() {
    glTranslatef(0.0f, 0.0f, viewDistance);
    glRotatef(static_cast<float>(0.5 * std::sin(0.2 * walkPhase)), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(0.7 * std::sin(0.2 * walkPhase)), 0.0f, 0.0f, 1.0f);
    glRotatef(static_cast<float>(0.5 * std::sin(0.2 * strafePhase)), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(0.7 * std::sin(0.2 * strafePhase)), 0.0f, 0.0f, 1.0f);
    glRotatef(forwardTilt, 1.0f, 0.0f, 0.0f);
    glRotatef(sideTilt, 0.0f, 0.0f, 1.0f);
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(heading, 0.0f, 0.0f, 1.0f);
}

void advanceViewer() {
    openFrame();
    moveViewer();
    setEyeHeight();
    turnAndPitch();
    leanTowards(forwardTilt, walkDirection, 4);
    leanTowards(sideTilt, strafeDirection, 2);
    applyViewTransform();
}
