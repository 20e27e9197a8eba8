// primitives.cpp — the textured immediate-mode routines the world is assembled from.
#include "draw/primitives.h"

#include <GL/gl.h>

#include <cmath>

#include "assets/texture_set.h"

// The four corners of a flat footprint in the ground plane. drawFlatQuad and drawBox share it.
struct Footprint {
    double x[4];
    double y[4];
};

// The unit square turned by `angle` and then stretched by sizeX along X and sizeY along Y, with
// corner 0 at (x, y). Stretching after turning makes it a parallelogram unless the sizes are equal
// or the angle is a multiple of 90. Everything is worked out in double from the float arguments;
// the far corner C2 comes from its own diagonal formula rather than C1 + C3 - C0, so it keeps the
// rounding of a direct evaluation.
static Footprint computeFootprint(float x, float y, float sizeX, float sizeY, float angle) {
    const double k = degToRad;
    const double w = sizeX;
    const double d = sizeY;
    const double a = angle;
    const double diagonal = std::sqrt(2.0);
    Footprint f;
    f.x[0] = x;
    f.y[0] = y;
    f.x[1] = x + std::sin(a * k) * w;
    f.y[1] = y + std::cos(a * k) * d;
    f.x[2] = x + std::sin((a - 45.0) * k) * (diagonal * w);
    f.y[2] = y + std::cos((a - 45.0) * k) * (diagonal * d);
    f.x[3] = x + std::sin((a - 90.0) * k) * w;
    f.y[3] = y + std::cos((a - 90.0) * k) * d;
    return f;
}

static void emitCorner(const Footprint& f, int corner, float z) {
    glVertex3f(static_cast<float>(f.x[corner]), static_cast<float>(f.y[corner]), z);
}

void drawFlatQuad(float x, float y, float z, float sizeX, float sizeY, float repeatS, float repeatT,
                  float angle, int32_t textureIndex) {
    const Footprint f = computeFootprint(x, y, sizeX, sizeY, angle);
    glBindTexture(GL_TEXTURE_2D, textures[textureIndex]);
    glBegin(GL_QUADS);
    glTexCoord2f(repeatS, repeatT);
    emitCorner(f, 0, z);
    glTexCoord2f(repeatS, 0.0f);
    emitCorner(f, 1, z);
    glTexCoord2f(0.0f, 0.0f);
    emitCorner(f, 2, z);
    glTexCoord2f(0.0f, repeatT);
    emitCorner(f, 3, z);
    glEnd();
}

// One box face: four corners, each with its own height, counter-clockwise from outside. Every face
// shows the whole texture once, upright on the sides.
static void emitBoxFace(const Footprint& f, const int corners[4], const float heights[4]) {
    static const float faceTexCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int v = 0; v < 4; ++v) {
        glTexCoord2f(faceTexCoords[v][0], faceTexCoords[v][1]);
        emitCorner(f, corners[v], heights[v]);
    }
}

void drawBox(float x, float y, float z, float sizeX, float sizeY, float height, float angle,
             int32_t textureIndex) {
    const Footprint f = computeFootprint(x, y, sizeX, sizeY, angle);
    const float zb = z;
    const float zt = z + height;
    // Top, bottom, then the four sides going round the footprint.
    static const int faceCorners[6][4] = {{0, 1, 2, 3}, {0, 3, 2, 1}, {0, 1, 1, 0},
                                          {1, 2, 2, 1}, {2, 3, 3, 2}, {3, 0, 0, 3}};
    const float top[4] = {zt, zt, zt, zt};
    const float bottom[4] = {zb, zb, zb, zb};
    const float side[4] = {zb, zb, zt, zt};
    glBindTexture(GL_TEXTURE_2D, textures[textureIndex]);
    glBegin(GL_QUADS);
    emitBoxFace(f, faceCorners[0], top);
    emitBoxFace(f, faceCorners[1], bottom);
    for (int face = 2; face < 6; ++face) emitBoxFace(f, faceCorners[face], side);
    glEnd();
}

// Each half-axis takes its colour from one place of the lines texture: +X from the texel at (1, 1),
// +Y from (1, 0), +Z and the three negative half-axes from (0, 0). The texture coordinate is set
// once per line and holds for both of its ends.
void drawAxisCross(float x, float y, float z, float length, int32_t lineWidth) {
    glLineWidth(static_cast<float>(lineWidth));
    glBindTexture(GL_TEXTURE_2D, textures[linesTexture]);
    glDisable(GL_LINE_SMOOTH);
    glBegin(GL_LINES);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x, y, z);
    glVertex3f(x + length, y, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(x, y, z);
    glVertex3f(x, y + length, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x, y, z);
    glVertex3f(x, y, z + length);
    glEnd();
    glBegin(GL_LINES);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x, y, z);
    glVertex3f(x - length, y, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x, y, z);
    glVertex3f(x, y - length, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x, y, z);
    glVertex3f(x, y, z - length);
    glEnd();
    // Back to the GL default, not to whatever the caller had: the next routine expects thin lines.
    glLineWidth(1.0f);
}

void drawVerticalLine(float x, float y, float z, float length, float lineWidth,
                      int32_t textureIndex) {
    glBindTexture(GL_TEXTURE_2D, textures[textureIndex]);
    glLineWidth(lineWidth);
    glBegin(GL_LINES);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x, y, z);
    glVertex3f(x, y, z + length);
    glEnd();
    glLineWidth(1.0f);
}
