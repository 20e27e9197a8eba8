// bad_assets_e2e_test.cpp — the real program on an X screen started on a data folder with one bad
// file: its message boxes come up with their captions in order, and answering them ends it or lets
// it run on as it should.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "support/x_session.h"

namespace {

namespace fs = std::filesystem;

constexpr int openTimeoutMs = 30000;  // a sanitizer build starts slowly
constexpr int stepTimeoutMs = 15000;
const char programTitle[] = "Kalimbor v.1.4b";

// A private copy of the data folder with one file replaced by `bytes`, or removed without them;
// gone again at the end of the test.
struct DamagedDataFolder {
    fs::path folder = fs::temp_directory_path() / ("kalimbor-e2e-data-" + std::to_string(getpid()));
    DamagedDataFolder(const char* file, const std::optional<std::string>& bytes) {
        fs::remove_all(folder);
        fs::copy(KALIMBOR_DATA_DIR, folder, fs::copy_options::recursive);
        if (bytes)
            std::ofstream(folder / file, std::ios::binary | std::ios::trunc) << *bytes;
        else
            fs::remove(folder / file);
    }
    ~DamagedDataFolder() { fs::remove_all(folder); }
};

bool isMainWindow(const ScreenWindow& window) {
    return window.title == programTitle && !window.dialog;
}

ScreenWindow waitForBox(XSession& session, const std::string& caption) {
    return session.waitForWindow(
        [&](const ScreenWindow& window) { return window.dialog && window.title == caption; },
        openTimeoutMs);
}

// Answers the failed start's box and checks that the program then ends with 0, its window gone
// and the screen as it was.
void expectFailedStartEnds(XSession& session) {
    ScreenWindow failed = waitForBox(session, "CHYBA");
    ASSERT_NE(failed.id, 0u) << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow(isMainWindow).id, 0u) << "torn down before the box";
    session.answerMessageBox(failed, "Return");
    int exitCode = -1;
    ASSERT_TRUE(session.waitForExit(stepTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0) << session.programErrors();
    EXPECT_TRUE(session.windows().empty()) << session.describeWindows();
    EXPECT_EQ(session.screenWidth(), 800);
    EXPECT_EQ(session.screenHeight(), 600);
    // Every text was shown in a box, none had to fall back to standard error.
    EXPECT_EQ(session.programErrors().find("Inicializacia"), std::string::npos);
}

TEST(BadAssetsEndToEnd, BrokenPictureShowsTheReadersErrorThenTheFailedStart) {
    // A later bitmap version's 108-byte header, where only the 12- and 40-byte forms are read.
    const std::string header108 = std::string("BM\x7a\0\0\0\0\0\0\0\x7a\0\0\0\x6c", 15);
    DamagedDataFolder data("Tex/zem.bmp", header108 + std::string(14 + 108 - 15, '\0'));
    XSession session("800x600x16");
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram(KALIMBOR_BINARY, data.folder));
    ScreenWindow error = waitForBox(session, "Error");
    ASSERT_NE(error.id, 0u) << session.describeWindows() << session.programErrors();
    EXPECT_EQ(session.findWindow("CHYBA").id, 0u) << "the reader's box comes first";
    EXPECT_TRUE(session.programRunning()) << "the program waits for the box";
    session.answerMessageBox(error, "Return");
    expectFailedStartEnds(session);
}

TEST(BadAssetsEndToEnd, MissingModelIsReportedAndTheWorldRunsOn) {
    DamagedDataFolder data("STL/hangar.rin", std::nullopt);
    XSession session("800x600x16");
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram(KALIMBOR_BINARY, data.folder));
    ScreenWindow error = waitForBox(session, "Error");
    ASSERT_NE(error.id, 0u) << session.describeWindows() << session.programErrors();
    session.answerMessageBox(error, "Return");
    ScreenWindow window = session.waitForWindow(isMainWindow, stepTimeoutMs);
    ASSERT_NE(window.id, 0u) << session.describeWindows();
    session.waitUntil([] { return false; }, 300);  // a few frames
    EXPECT_TRUE(session.programRunning()) << session.programErrors();

    session.requestClose(window.id);
    int exitCode = -1;
    ASSERT_TRUE(session.waitForExit(stepTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0) << session.programErrors();
    EXPECT_TRUE(session.windows().empty()) << session.describeWindows();
}

}  // namespace
