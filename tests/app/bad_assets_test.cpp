// bad_assets_test.cpp — the whole program started on a copy of its data folder in which one file is
// missing, empty, cut short or lying about itself: every picture and the model in turn, through the
// scripted platform layer on real headless GL.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/main_loop.h"
#include "assets/model.h"
#include "assets/texture_set.h"
#include "platform/virtual_keys.h"
#include "support/scripted_platform.h"

namespace {

namespace fs = std::filesystem;
using Steps = std::vector<std::string>;
using Damage = std::function<std::string(std::string)>;  // good file bytes -> bad file bytes

std::string readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

uint32_t u32At(const std::string& bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);  // little-endian, like the machine
    return value;
}

void putU32(std::string& bytes, size_t at, uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

// A private copy of the data folder, made the working folder for the test's lifetime. Each case
// damages one file and puts the good bytes back afterwards.
struct DataFolderCopy {
    fs::path folder =
        fs::temp_directory_path() / ("kalimbor-bad-assets-" + std::to_string(getpid()));
    fs::path previous = fs::current_path();
    DataFolderCopy() {
        fs::remove_all(folder);
        fs::copy(KALIMBOR_DATA_DIR, folder, fs::copy_options::recursive);
        fs::current_path(folder);
    }
    ~DataFolderCopy() {
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    // Runs `body` with `file` damaged (or removed when `damage` is null), then restores it.
    void withDamaged(const std::string& file, const Damage& damage,
                     const std::function<void()>& body) {
        const std::string good = readBytes(file);
        if (damage)
            writeBytes(file, damage(good));
        else
            fs::remove(file);
        body();
        writeBytes(file, good);
    }
};

// Starts the program in fullscreen; when the opening succeeds it is closed with the window's close
// button after three frames, the one way out whose exit code is defined (0).
int32_t runProgram() {
    scripted.realGl = true;
    scripted.frameLimit = 50;
    scripted.onFrame = [](int frame) {
        if (frame == 3) scripted.queueMessage(messageClose);
    };
    return runMainLoop();
}

// Whatever went wrong, the program ends as a program should: nothing left switched, registered or
// released twice, the cursor counter back where it started.
void expectCleanEnd(int32_t exitCode) {
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(scripted.displayModeChanged);
    EXPECT_FALSE(scripted.classRegistered);
    EXPECT_EQ(scripted.cursorShowCounter, 0);
    EXPECT_TRUE(scripted.handlesReleasedTwice().empty());
    EXPECT_FALSE(scripted.runawayLoopStopped);
}

// ---- pictures -----------------------------------------------------------------------------------
// All twelve pictures carry a file header; the bitmap header starts at offset 14 and the pixel data
// at the offset stored at 10.

constexpr size_t bitmapHeaderStart = 14;

std::string cutInHeader(std::string bytes) {
    return bytes.substr(0, bitmapHeaderStart + u32At(bytes, bitmapHeaderStart) / 2);
}

std::string cutInPixels(std::string bytes) {
    const size_t pixels = u32At(bytes, 10);
    return bytes.substr(0, pixels + (bytes.size() - pixels) / 2);
}

// A later bitmap version's 108-byte header: the old header grown in place, the pixels moved behind.
std::string withHeader108(std::string bytes) {
    const uint32_t size = u32At(bytes, bitmapHeaderStart);
    bytes.insert(bitmapHeaderStart + size, 108 - size, '\0');
    putU32(bytes, bitmapHeaderStart, 108);
    putU32(bytes, 10, u32At(bytes, 10) + 108 - size);
    putU32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

// As large as each header form can say: 65535 square in the 12-byte form, a million in the other.
std::string withAbsurdSize(std::string bytes) {
    if (u32At(bytes, bitmapHeaderStart) == 12) {
        bytes.replace(bitmapHeaderStart + 4, 4, "\xff\xff\xff\xff", 4);
    } else {
        putU32(bytes, bitmapHeaderStart + 4, 1000000);
        putU32(bytes, bitmapHeaderStart + 8, 1000000);
    }
    return bytes;
}

TEST(BadAssets, EveryBrokenPictureEndsTheStartWithTheReadersMessageThenTheFailedStart) {
    const std::string failedStart = "[CHYBA] Inicializacia zlyhala. (exclamation, ok)";
    const struct {
        const char* name;
        Damage damage;
        const char* readerText;  // null: no message of the reader
    } faults[] = {
        {"missing", nullptr, nullptr},
        {"empty", [](std::string) { return std::string(); }, "Failed to open DIB file %s.\n"},
        {"cut in its header", cutInHeader, "Unknown DIB file format."},
        {"cut in its pixels", cutInPixels, "Image file conversion error."},
        {"108-byte header", withHeader108, "Unknown DIB file format."},
        {"absurd size", withAbsurdSize, "Out of memory."},
    };
    DataFolderCopy data;
    for (const char* picture : textureFiles) {
        for (const auto& fault : faults) {
            SCOPED_TRACE(std::string(picture) + ", " + fault.name);
            data.withDamaged(picture, fault.damage, [&] {
                ScriptedPlatformSession session;
                expectCleanEnd(runProgram());
                EXPECT_EQ(scripted.frames, 0);
                Steps boxes, order;
                if (fault.readerText) {
                    char text[256];
                    std::snprintf(text, sizeof text, fault.readerText, picture);
                    // Shown while the window still stands, owned by it, before the teardown.
                    boxes.push_back("[Error] " + std::string(text) + " (none, ok) owned");
                    order.push_back("messageBox");
                }
                boxes.push_back(failedStart);
                order.insert(order.end(), {"restoreDisplayMode", "messageBox"});
                EXPECT_EQ(scripted.messageBoxSummaries(), boxes);
                EXPECT_EQ(scripted.only({"messageBox", "restoreDisplayMode"}), order);
            });
        }
    }
}

// A picture spoilt while the program runs is met at the next F1, whose new window then fails to
// open: the program ends there, having released everything once.
TEST(BadAssets, PictureSpoiltWhileRunningEndsTheProgramAtTheNextModeSwitch) {
    DataFolderCopy data;
    ScriptedPlatformSession session;
    scripted.realGl = true;
    scripted.frameLimit = 50;
    scripted.onFrame = [](int frame) {
        if (frame != 2) return;
        writeBytes("Tex/zem.bmp", cutInPixels(readBytes("Tex/zem.bmp")));
        scripted.queueKeyDown(virtualKeyF1);
    };
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(scripted.frames, 3);  // the key goes down before frame 3 and acts after it
    EXPECT_EQ(scripted.messageBoxSummaries(),
              (Steps{"[Error] Image file conversion error. (none, ok) owned",
                     "[CHYBA] Inicializacia zlyhala. (exclamation, ok)"}));
    EXPECT_EQ(scripted.callCount("createWindow"), 2);
    EXPECT_FALSE(scripted.displayModeChanged);
    EXPECT_FALSE(scripted.classRegistered);
    EXPECT_TRUE(scripted.handlesReleasedTwice().empty());
}

// ---- the model ----------------------------------------------------------------------------------

const char modelFile[] = "STL/hangar.rin";

int32_t countInFile(const std::string& model) {
    int32_t count = -1;
    std::sscanf(model.c_str() + model.find("pocet"), "pocet %d", &count);
    return count;
}

std::string withHugeCount(std::string bytes) {
    const size_t line = bytes.find("pocet");
    return bytes.replace(line, bytes.find('\n', line) - line, "pocet 2147483647");
}

TEST(BadAssets, TheWorldRunsOnWhateverTheModelFileHolds) {
    const std::string good = readBytes(fs::path(KALIMBOR_DATA_DIR) / modelFile);
    const struct {
        const char* name;
        Damage damage;
        Steps boxes;
        int32_t triangles;  // what is left to draw
    } faults[] = {
        {"missing",
         nullptr,
         {"[Error] Failed to open model file STL/hangar.rin. (none, ok) owned"},
         0},
        {"empty", [](std::string) { return std::string(); }, {}, 0},
        // Corners the file no longer holds are drawn at the hangar's origin.
        {"cut short",
         [](std::string bytes) { return bytes.substr(0, bytes.size() / 2); },
         {},
         countInFile(good)},
        {"huge count", withHugeCount, {}, 0},
    };
    DataFolderCopy data;
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        data.withDamaged(modelFile, fault.damage, [&] {
            ScriptedPlatformSession session;
            expectCleanEnd(runProgram());
            EXPECT_EQ(scripted.frames, 3);  // frames drawn with all four hangars from this model
            EXPECT_EQ(scripted.messageBoxSummaries(), fault.boxes);
            EXPECT_EQ(triangleModel.triangleCount, fault.triangles);
            EXPECT_EQ(scripted.callCount("restoreDisplayMode"), 1);
        });
    }
}

}  // namespace
