// model_fuzz.cpp — libFuzzer target: any bytes as a hangar model file, which the reader must turn
// into a model (possibly empty) without reading or writing out of bounds or allocating absurdly.
#include <cstdint>
#include <cstdio>

#include "assets/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (file == nullptr) return 0;
    loadModelFromFile(file);
    std::fclose(file);
    // Every announced triangle must be there to draw.
    volatile float sum = 0;
    for (int32_t t = 0; t < triangleModel.triangleCount; ++t)
        for (const float* corner : triangleModel.triangles[t].corners) sum = sum + corner[2];
    return 0;
}
