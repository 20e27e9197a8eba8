// window_e2e_test.cpp — the program's boxes on a real X server: the question of a screen without
// its mode (under a window manager, whose close button ends it), and a damaged data folder's.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "support/x_session.h"

namespace {

// A screen without an 800 x 600 mode: the question comes before any window, Yes (Enter) gives a
// framed window, and the window manager's close button ends the program with 0.
TEST(WindowEndToEnd, RefusedModeAsksForAFramedWindowThatTheCloseButtonEnds) {
    XSession session("1024x768x24", true);
    ASSERT_NE(session.start(isBox(programTitle)).id, 0u);
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "the question comes first";
    session.press("Return");
    const ScreenWindow window = session.focusWindow(isFramedWindow);
    ASSERT_NE(window.id, 0u);
    session.askManager(window.id, "_NET_CLOSE_WINDOW", 0, 2);
    EXPECT_EQ(session.exitCode(), 0);
    EXPECT_EQ(session.programErrors().find("Program sa teraz"), std::string::npos);
}

// A copy of the data folder with `file` replaced by `bytes` (removed when there are none), and the
// program started on it up to its first box, the readers' "Error".
struct DamagedData : TempFolder, XSession {
    DamagedData(const std::string& file, const Bytes& bytes) {
        std::filesystem::copy(KALIMBOR_DATA_DIR, path, std::filesystem::copy_options::recursive);
        bytes.empty() ? void(std::filesystem::remove(path + file)) : writeFile(path + file, bytes);
    }
    ScreenWindow start() { return XSession::start(isBox("Error"), KALIMBOR_BINARY, path); }
};

// A later bitmap version (108-byte header, where only 12 and 40 are read): the reader's box, then
// the failed start's box after the teardown, then exit code 1, which no message on standard error
// accompanies: the box said it.
TEST(BadDataEndToEnd, BrokenPictureShowsTheReadersBoxThenTheFailedStart) {
    const char picture[14 + 108] = "BM\x7a\0\0\0\0\0\0\0\x7a\0\0\0\x6c";
    DamagedData data("/Tex/zem.bmp", Bytes(picture, picture + sizeof picture));
    ASSERT_NE(data.start().id, 0u);
    EXPECT_EQ(data.findWindow(isBox("CHYBA")).id, 0u) << "the reader's box comes first";
    data.press("Return");
    ASSERT_NE(data.focusWindow(isBox("CHYBA")).id, 0u);
    EXPECT_EQ(data.findWindow(isMainWindow).id, 0u) << "torn down before the box";
    data.press("Return");
    EXPECT_EQ(data.exitCode(), 1);
    EXPECT_EQ(data.programErrors().find("Inicializacia zlyhala."), std::string::npos);
}

TEST(BadDataEndToEnd, MissingModelIsReportedAndTheWorldRunsOn) {
    DamagedData data("/STL/hangar.rin", {});
    ASSERT_NE(data.start().id, 0u);
    data.press("Return");
    ASSERT_NE(data.focusWindow(isFullscreenWindow).id, 0u);
    EXPECT_TRUE(data.waitForFrames(2));
    EXPECT_EQ(data.exitCodeAfterEscape(), 0);
}

}  // namespace
