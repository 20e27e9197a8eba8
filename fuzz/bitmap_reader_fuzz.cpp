// bitmap_reader_fuzz.cpp — libFuzzer target: any bytes through the bitmap decoder, which must
// refuse or decode them without reading outside them, crashing or allocating absurdly.
#include <cstdint>
#include <cstdlib>

#include "assets/bitmap_reader.h"
#include "platform/platform.h"

static MessageAnswer ignoreMessageBox(const char*, const char*, MessageButtons, MessageIcon) {
    return MessageAnswer::ok;
}

// The desktop layer with its message boxes silenced: a refused input is an expected outcome.
static const PlatformLayer* silencedLayer() {
    static PlatformLayer layer = [] {
        PlatformLayer silenced = sdlPlatformLayer;
        silenced.messageBox = ignoreMessageBox;
        return silenced;
    }();
    return &layer;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform = silencedLayer();
    if (RgbImage* image = decodeBitmapFile(data, size)) {
        // Touch the first and last pixel bytes so that a short pixel block shows up.
        volatile uint8_t sink = image->pixels[0];
        sink = image->pixels[size_t{3} * image->width * image->height - 1];
        (void)sink;
        free(image->pixels);
        free(image);
    }
    return 0;
}
