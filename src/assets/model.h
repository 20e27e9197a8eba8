// model.h — the hangar's triangle model file and the routine that draws it.
#pragma once

#include <cstdint>
#include <cstdio>

struct ModelTriangle {
    float normalSlot[3];  // never filled, never read
    float corners[3][3];  // corner 0, 1, 2 in file order, each x, y, z
};

struct TriangleModel {
    int32_t triangleCount;
    ModelTriangle* triangles;
};

extern TriangleModel& triangleModel;

// Frees the model and puts it and the reader's state back to their start values.
void resetModelState();

void loadModel(const char* path);
// The reading part of loadModel, for a file already open (also what the fuzz target feeds).
void loadModelFromFile(FILE* file);
void drawModel(float x, float y, float z, int32_t textureIndex);
