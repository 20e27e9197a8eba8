// install_e2e_test.cpp — the installed program as a user gets it: `cmake --install` into a private
// prefix, the launcher started from anywhere shows the viewer; and the Debian package, built once,
// carries the same files with the libraries they need and passes Debian's own tools and the
// software centres' metadata check.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "assets/texture_set.h"
#include "support/x_session.h"

namespace {

namespace fs = std::filesystem;

// The program file is built at the top of the build tree.
const fs::path buildFolder = fs::path(KALIMBOR_BINARY).parent_path();

// Runs a shell command; its standard output, and its exit status in `status`.
std::string run(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char chunk[4096];
    size_t read;
    while ((read = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, read);
    int result = pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

std::string withoutLineEnd(std::string text) {
    return text.substr(0, text.find_last_not_of('\n') + 1);
}

struct TemporaryFolder {
    fs::path path;
    explicit TemporaryFolder(const std::string& name)
        : path(fs::temp_directory_path() / ("kalimbor-" + name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TemporaryFolder() { fs::remove_all(path); }
};

// The one id by which software centres know the viewer.
const std::string appId = "io.github.kalimbor.kalimbor";

// Everything a user's system gets, relative to the prefix.
std::vector<std::string> installedFiles() {
    std::vector<std::string> files = {"bin/kalimbor",
                                      "libexec/kalimbor/kalimbor",
                                      "share/applications/" + appId + ".desktop",
                                      "share/metainfo/" + appId + ".metainfo.xml",
                                      "share/icons/hicolor/scalable/apps/kalimbor.svg",
                                      "share/man/man6/kalimbor.6.gz",
                                      "share/doc/kalimbor/copyright",
                                      "share/kalimbor/STL/hangar.rin"};
    for (const char* picture : textureFiles)
        files.push_back("share/kalimbor/" + std::string(picture));
    return files;
}

// The desktop entry's value for `key`, or an empty text.
std::string desktopEntryValue(const fs::path& file, const std::string& key) {
    std::ifstream entry(file);
    for (std::string line; std::getline(entry, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "";
}

TEST(Installation, InstalledLauncherStartsTheViewerFromAnyFolder) {
    TemporaryFolder prefix("prefix");
    int status = -1;
    std::string log = run("cmake --install '" + buildFolder.string() + "' --prefix '" +
                              prefix.path.string() + "' 2>&1",
                          &status);
    ASSERT_EQ(status, 0) << log;
    for (const std::string& file : installedFiles())
        EXPECT_TRUE(fs::is_regular_file(prefix.path / file)) << file;
    EXPECT_EQ(access((prefix.path / "bin/kalimbor").c_str(), X_OK), 0);

    // The menu finds the program by the entry's Exec and Icon names.
    const fs::path entry = prefix.path / ("share/applications/" + appId + ".desktop");
    EXPECT_EQ(desktopEntryValue(entry, "Exec"), "kalimbor");
    EXPECT_EQ(desktopEntryValue(entry, "Icon"), "kalimbor");

    // Started from the root folder, as a menu does: the launcher finds the data itself.
    XSession session("800x600x16");
    ASSERT_TRUE(session.ready());
    ASSERT_TRUE(session.startProgram((prefix.path / "bin/kalimbor").string(), "/"));
    ScreenWindow window = session.waitForWindow(
        [](const ScreenWindow& window) {
            return window.title == "Kalimbor v.1.4b" && !window.dialog;
        },
        30000);
    ASSERT_NE(window.id, 0u) << session.describeWindows() << session.programErrors();
    EXPECT_EQ(window.width, 800);
    ASSERT_TRUE(session.waitUntil([&] { return session.focusedWindow() == window.id; }, 15000));
    EXPECT_TRUE(session.holdKeyUntil(
        "Escape", [&] { return !session.programRunning(); }, 15000));
    int exitCode = -1;
    ASSERT_TRUE(session.waitForExit(1000, &exitCode));
    EXPECT_EQ(exitCode, 0) << session.programErrors();
    EXPECT_TRUE(session.windows().empty()) << "no message box: " << session.describeWindows();
}

// Reads the package's copyright file (argument 1) as Debian's machine-readable format: does the
// font sheet carry fonts-dejavu-core's own notice, and the program the licence of LICENSE (2)?
const char copyrightVerdicts[] = R"(import sys
from debian.copyright import Copyright
def words(text): return ' '.join(text.split())
def notice(paragraph): return words(paragraph.copyright + paragraph.license.to_str())
ours = Copyright(open(sys.argv[1]), strict=True)
fonts = Copyright(open('/usr/share/doc/fonts-dejavu-core/copyright'))
program = ours.find_files_paragraph('usr/libexec/kalimbor/kalimbor')
[licence] = [paragraph.license for paragraph in ours.all_license_paragraphs()]
text = open(sys.argv[2]).read()
print(notice(ours.find_files_paragraph('usr/share/kalimbor/Tex/Pismo/font.bmp')) ==
      notice(fonts.find_files_paragraph('DejaVuSansMono.ttf')), program.copyright, '|',
      program.license.synopsis, licence.synopsis, words(licence.text) == words(text[text.index('Permission'):]))
)";

TEST(Installation, DebianPackagePassesDebiansToolsAndSoftwareCentres) {
    TemporaryFolder packages("packages");
    // cpack in the build folder, with the given environment.
    auto cpack = [&](const std::string& environment, int* status) {
        return run("cd '" + buildFolder.string() + "' && env " + environment +
                       " cpack --config CPackConfig.cmake -G DEB -B '" + packages.path.string() +
                       "' 2>&1",
                   status);
    };
    int status = -1;

    // The package names whoever builds it: without a name and address there is no package. The
    // build also refuses a version, project()'s, that the changelog or the metadata lacks.
    std::string log = cpack("-u DEBFULLNAME -u DEBEMAIL", &status);
    EXPECT_NE(status, 0);
    for (const char* variable : {"DEBFULLNAME", "DEBEMAIL"})
        EXPECT_NE(log.find(variable), std::string::npos) << log;
    log = cpack("DEBFULLNAME='Kalimbor Installation Test' DEBEMAIL=install-test@example.org",
                &status);
    ASSERT_EQ(status, 0) << log;
    fs::path package;
    for (const auto& file : fs::directory_iterator(packages.path))
        if (file.path().extension() == ".deb") package = file.path();
    ASSERT_FALSE(package.empty()) << log;

    auto field = [&](const char* name) {
        return withoutLineEnd(run("dpkg-deb -f '" + package.string() + "' " + name));
    };
    EXPECT_EQ(field("Package"), "kalimbor");
    EXPECT_EQ(field("Maintainer"), "Kalimbor Installation Test <install-test@example.org>");
    EXPECT_EQ(field("Architecture"), withoutLineEnd(run("dpkg --print-architecture")));
    // The package names of Depends, alternatives included, without their versions.
    std::set<std::string> depends;
    std::istringstream names(field("Depends"));
    for (std::string name; names >> name;)
        if (name != "|" && name[0] != '(' && name.back() != ')')
            depends.insert(name.substr(0, name.find(',')));
    // Linked libraries as dpkg-shlibdeps finds them, and the GL library and driver that SDL and
    // Mesa load at run time.
    for (const char* library : {"libsdl2-2.0-0", "libglu1-mesa", "libopengl0", "libstdc++6",
                                "libc6", "libgl1", "libgl1-mesa-dri"})
        EXPECT_EQ(depends.count(library), 1u) << library << " not in " << field("Depends");

    const std::string contents = run("dpkg-deb -c '" + package.string() + "'");
    std::vector<std::string> files = installedFiles();
    files.push_back("share/doc/kalimbor/changelog.gz");
    for (const std::string& file : files)
        EXPECT_NE(contents.find(" ./usr/" + file + "\n"), std::string::npos) << file;

    // The checking tools: each must end with status 0; what it said is returned.
    auto passes = [&](const std::string& command) {
        std::string said = run(command + " 2>&1", &status);
        EXPECT_EQ(status, 0) << command << "\n" << said;
        return said;
    };
    // Debian's own verdict, with no override to hide behind.
    passes("lintian --fail-on error,warning --display-level '>=warning' '" + package.string() +
           "'");
    TemporaryFolder root("package-root");
    passes("dpkg-deb -x '" + package.string() + "' '" + root.path.string() + "'");
    const fs::path usr = root.path / "usr";
    EXPECT_EQ(passes("desktop-file-validate '" +
                     (usr / ("share/applications/" + appId + ".desktop")).string() + "'"),
              "");
    // The tree check also finds the desktop entry the metadata's id names.
    EXPECT_EQ(passes("appstreamcli validate-tree --pedantic --strict --no-net '" +
                     root.path.string() + "'")
                  .find("P: "),
              std::string::npos);
    const std::string page = (usr / "share/man/man6/kalimbor.6.gz").string();
    EXPECT_EQ(passes("{ zcat '" + page + "' | groff -man -ww -z; man --warnings=w -l -Tutf8 -Z '" +
                     page + "' >/dev/null; }"),
              "");
    std::ofstream(root.path / "verdicts.py") << copyrightVerdicts;
    EXPECT_EQ(passes("/usr/bin/python3 '" + (root.path / "verdicts.py").string() + "' '" +
                     (usr / "share/doc/kalimbor/copyright").string() +
                     "' '" KALIMBOR_SOURCE_DIR "/LICENSE'"),
              "True the Kalimbor developers | Expat Expat True\n");
}

}  // namespace
