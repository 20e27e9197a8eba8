// texture_set.cpp — the twelve pictures every drawing routine indexes, read and uploaded together.
#include "assets/texture_set.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>

// The texture names, with their start values written once, here; `textures` refers to them.
struct TextureSetState {
    uint32_t textures[textureCount] = {};
};
static TextureSetState textureSetState;

void resetTextureSetState() {
    textureSetState = TextureSetState();
}

uint32_t (&textures)[textureCount] = textureSetState.textures;

// Index order is fixed: the drawing routines address these by the named indices of the header.
const char* const textureFiles[textureCount] = {"Tex/Pismo/font.bmp",
                                                "Tex/Ciary/00.bmp",
                                                "Tex/plot.bmp",
                                                "Tex/plot_maska.bmp",
                                                "Tex/plot_tycka.bmp",
                                                "Tex/Zuvo/zuvo.bmp",
                                                "Tex/Zuvo/zuvo_maska.bmp",
                                                "Tex/zem.bmp",
                                                "Tex/drevo.bmp",
                                                "Tex/dazd.bmp",
                                                "Tex/cesta.bmp",
                                                "Tex/zelezo.bmp"};

// A file that is simply not there is not the reader's business: the set fails quietly and the
// caller reports the failed start-up. A file that is there but broken gets the reader's message.
RgbImage* loadTextureImage(const char* path) {
    if (path == nullptr) return nullptr;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return nullptr;
    std::fclose(file);
    return readBitmapFile(path);
}

// The reader packs rows tightly (3 bytes a pixel); GL expects rows padded to 4 bytes unless told
// otherwise, and would then read past the end of an image whose row is not a multiple of 4.
static void uploadImage(const RgbImage* image) {
    bool padded = (3LL * image->width) % 4 == 0;
    if (!padded) glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels);
    if (!padded) glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// All or nothing: the world needs every one of the twelve, so texture names are made only once
// all images have been read, and the first missing or broken file ends the attempt.
int32_t loadTextureSet() {
    RgbImage* images[textureCount] = {};
    int32_t result = 0;
    int read = 0;
    while (read < textureCount && (images[read] = loadTextureImage(textureFiles[read])) != nullptr)
        ++read;

    if (read == textureCount) {
        result = 1;
        glGenTextures(textureCount, textures);
        for (int index = 0; index < textureCount; ++index) {
            glBindTexture(GL_TEXTURE_2D, textures[index]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            uploadImage(images[index]);
        }
    }

    for (RgbImage* image : images) {
        if (image == nullptr) continue;
        std::free(image->pixels);
        std::free(image);
    }
    return result;
}
