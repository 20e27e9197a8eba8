// model.cpp — reads the hangar's triangle model file and draws the mesh at any place in the world.
#include "assets/model.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "assets/texture_set.h"
#include "platform/platform.h"

// The model and the reader's scratch vertex, with their start values written once, here; the
// names refer to its fields.
//
// Every vertex line is parsed into the one scratch vertex before it is copied into a corner, so a
// line that supplies fewer than three numbers repeats the coordinates of the vertex read before
// it, even across files: the model format relies on that for lines it does not recognise.
struct ModelState {
    TriangleModel triangleModel = {0, nullptr};
    float scratchVertex[3] = {0, 0, 0};
};
static ModelState modelState;

TriangleModel& triangleModel = modelState.triangleModel;
static float (&scratchVertex)[3] = modelState.scratchVertex;

// ---- lines --------------------------------------------------------------------------------------
// One read takes at most 254 characters (a 256-byte buffer with a limit of 255), and the rest of a
// longer line comes back as the next line. A carriage return right before a line feed is dropped,
// so files written with CR LF line ends read exactly like LF files: a blank CR LF line is blank.

constexpr int lineBufferSize = 256;
constexpr int charactersPerRead = lineBufferSize - 2;

// False at the end of the file with nothing read; the buffer then holds an empty string. The file
// is read on the main thread only, so the per-character reads skip the stream lock (it more than
// halves the time the hangar takes to read).
static bool readRawLine(FILE* file, char* buffer) {
    int length = 0;
    while (length < charactersPerRead) {
        int c = getc_unlocked(file);
        if (c == EOF) break;
        if (c == '\r') {
            int next = getc_unlocked(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        buffer[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    return length > 0;
}

// The structure lines of the format (solid, outer loop, endloop, endfacet, endsolid) and blank
// lines are recognised by their first character alone.
static bool isSkippedLine(const char* line) {
    return line[0] == 's' || line[0] == 'o' || line[0] == 'e' || line[0] == '\n';
}

// Reads lines into `buffer` until one is not skipped; false when the file ends first.
static bool readModelLine(FILE* file, char* buffer) {
    while (readRawLine(file, buffer)) {
        if (!isSkippedLine(buffer)) return true;
    }
    return false;
}

// ---- the model ----------------------------------------------------------------------------------

static void clearModel() {
    std::free(triangleModel.triangles);
    triangleModel.triangles = nullptr;
    triangleModel.triangleCount = 0;
}

void resetModelState() {
    std::free(triangleModel.triangles);
    modelState = ModelState();
}

// Every triangle needs three more lines, and every line but the file's last takes at least two
// bytes (one character and its line feed). A count that the rest of the file cannot hold is a
// damaged or hostile file; allocating for it could exhaust memory, so it is refused.
static long maximumTrianglesLeft(FILE* file) {
    long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(file);
    if (end < 0 || std::fseek(file, here, SEEK_SET) != 0) return -1;
    return (end - here + 1) / 6;
}

void loadModelFromFile(FILE* file) {
    // The count line that does not match keeps the count of the previous load.
    int32_t count = triangleModel.triangleCount;
    clearModel();
    char line[lineBufferSize];
    if (!readModelLine(file, line)) return;
    std::sscanf(line, "pocet %d", &count);
    long maximum = maximumTrianglesLeft(file);
    if (count <= 0 || maximum < 0 || count > maximum) return;

    // Zero-filled, so corners a short file never supplies are the origin and still drawable.
    auto* triangles = static_cast<ModelTriangle*>(std::calloc(count, sizeof(ModelTriangle)));
    if (triangles == nullptr) return;
    triangleModel.triangles = triangles;
    triangleModel.triangleCount = count;
    for (int32_t t = 0; t < count; ++t) {
        for (int corner = 0; corner < 3; ++corner) {
            if (!readModelLine(file, line)) return;
            std::sscanf(line, "      vertex %e %e %e", &scratchVertex[0], &scratchVertex[1],
                        &scratchVertex[2]);
            std::memcpy(triangles[t].corners[corner], scratchVertex, sizeof scratchVertex);
        }
    }
}

// A missing model is not fatal: the world is still worth walking through without its hangars,
// so the user is told once per load and the program runs on with an empty model.
void loadModel(const char* path) {
    FILE* file = std::fopen(path, "rt");
    if (file == nullptr) {
        clearModel();
        char text[300];
        std::snprintf(text, sizeof text, "Failed to open model file %s.", path);
        platform->messageBox(text, "Error", MessageButtons::ok, MessageIcon::none);
        return;
    }
    loadModelFromFile(file);
    std::fclose(file);
}

// ---- drawing ------------------------------------------------------------------------------------
// The texture lies in the model's own x-y plane, one repeat every 50 units along x and every 150
// along y, so it stays fixed to the hangar wherever a copy is placed.

void drawModel(float x, float y, float z, int32_t textureIndex) {
    glBindTexture(GL_TEXTURE_2D, textures[textureIndex]);
    for (int32_t t = 0; t < triangleModel.triangleCount; ++t) {
        glBegin(GL_TRIANGLES);
        for (const float* corner : triangleModel.triangles[t].corners) {
            glTexCoord2f(static_cast<float>(corner[0] * 0.02L),
                         static_cast<float>(corner[1] * 0.006666666666666666667L));
            glVertex3f(x + corner[0], y + corner[1], z + corner[2]);
        }
        glEnd();
    }
}
