// install_e2e_test.cpp — the program as a user gets it: the Debian package, which names the
// libraries it needs, passes Debian's tools and the software centres' check, and whose launcher
// shows the viewer from any folder.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "support/x_session.h"

namespace {

// Runs a shell command that must succeed (or fail), print each of `says` and never `never` ("\n":
// no line at all).
void check(const std::string& command, bool succeeds, const std::vector<std::string>& says = {},
           const std::string& never = "\x01") {
    std::string said;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char chunk[4096];
    for (size_t read; pipe && (read = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        said.append(chunk, read);
    EXPECT_EQ((pipe ? pclose(pipe) : -1) == 0, succeeds) << command << "\n" << said;
    EXPECT_EQ(said.find(never), std::string::npos) << command << "\n" << said;
    for (const std::string& words : says)
        EXPECT_NE(said.find(words), std::string::npos) << command << "\n" << said;
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

TEST(Installation, DebianPackagePassesDebiansChecksAndItsLauncherRunsFromAnyFolder) {
    TempFolder folder;
    const std::string cpack = "cd \"$(dirname '" KALIMBOR_BINARY "')\" && env ";
    const std::string out = " cpack -G DEB -B '" + folder.path + "/out'";
    const std::string deb = folder.path + "/kalimbor.deb", usr = folder.path + "/root/usr/";
    const std::string page = usr + "share/man/man6/kalimbor.6.gz";
    const std::string entry = usr + "share/applications/io.github.kalimbor.kalimbor.desktop";
    std::ofstream(folder.path + "/verdicts.py") << copyrightVerdicts;
    // Without the name and address of whoever builds it there is no package.
    check(cpack + "-u DEBFULLNAME -u DEBEMAIL" + out, false, {"DEBFULLNAME", "DEBEMAIL"});
    check(cpack + "DEBFULLNAME='Kalimbor Installation Test' DEBEMAIL=install-test@example.org" +
              out + " && mv '" + folder.path + "'/out/*.deb '" + deb + "'",
          true);
    check("dpkg-deb -f '" + deb + "' Package Maintainer && test \"$(dpkg-deb -f '" + deb +
              "' Architecture)\" = \"$(dpkg --print-architecture)\"",
          true,
          {"Package: kalimbor\n",
           "Maintainer: Kalimbor Installation Test <install-test@example.org>\n"});
    // The linked libraries, and the GL library and driver that SDL and Mesa load at run time.
    check("{ echo; dpkg-deb -f '" + deb + "' Depends; } | tr -s ' ,|' '\\n\\n\\n'", true,
          {"\nlibsdl2-2.0-0\n", "\nlibglu1-mesa\n", "\nlibopengl0\n", "\nlibstdc++6\n", "\nlibc6\n",
           "\nlibgl1\n", "\nlibgl1-mesa-dri\n"});
    check("dpkg-deb -c '" + deb + "'", true,
          {" ./usr/share/icons/hicolor/scalable/apps/kalimbor.svg\n"});
    // Debian's own verdict, with no override to hide behind.
    check("lintian --fail-on error,warning --display-level '>=warning' '" + deb + "'", true);
    check("dpkg-deb -x '" + deb + "' '" + folder.path + "/root'", true, {}, "\n");
    check("desktop-file-validate '" + entry + "'", true, {}, "\n");
    check("grep -x -e Exec=kalimbor -e Icon=kalimbor '" + entry + "'", true,
          {"Exec=kalimbor\nIcon=kalimbor\n"});
    // The tree check also finds the desktop entry the metadata's id names.
    check("appstreamcli validate-tree --pedantic --strict --no-net '" + folder.path + "/root'",
          true, {}, "P: ");
    check("zcat '" + page + "' | groff -man -ww -z && man --warnings=w -l -Tutf8 -Z '" + page +
              "' >/dev/null",
          true, {}, "\n");
    check("/usr/bin/python3 '" + folder.path + "/verdicts.py' '" + usr +
              "share/doc/kalimbor/copyright' '" KALIMBOR_SOURCE_DIR "/LICENSE'",
          true, {"True the Kalimbor developers | Expat Expat True\n"});

    // Started from the root folder, as a menu does: the launcher finds the data itself.
    XSession session;
    ASSERT_NE(session.start(isFullscreenWindow, usr + "bin/kalimbor", "/").id, 0u);
    EXPECT_EQ(session.exitCodeAfterEscape(), 0);
}

}  // namespace
