// The install rules: a staged `cmake --install` holds the programs, data/, the desktop entry, the
// icon and the systemd unit with the prefix's paths, and the installed client finds its data; the
// Debian package built from the same rules holds the same under /usr.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "support/process.h"

namespace {

const std::string kBuild = CORVANE_BUILD_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool isFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Runs a shell command line; returns its standard output, or "" with *ok false on failure.
std::string run(const std::string& command, bool* ok) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        *ok = false;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    *ok = pclose(p) == 0;
    return out;
}

class Staged : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/corvane_install_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        stage = dir;
    }
    void TearDown() override {
        bool ok = true;
        run("rm -rf '" + stage + "'", &ok);
    }
    std::string stage;
};

} // namespace

TEST_F(Staged, InstallPlacesEveryFileAndTheClientFindsItsData) {
    bool ok = true;
    std::string log = run(
        "DESTDIR='" + stage + "' cmake --install '" + kBuild + "' --prefix /opt/corvane 2>&1", &ok);
    ASSERT_TRUE(ok) << log;
    const std::string root = stage + "/opt/corvane";
    for (const char* f : {"/bin/corvane3d_client", "/bin/corvane3d_server",
                          "/share/corvane3d/data/font.png", "/share/corvane3d/data/intro.s3m",
                          "/share/corvane3d/data/flame31.png", "/share/doc/corvane3d/README.md"})
        EXPECT_TRUE(isFile(root + f)) << f;
    EXPECT_FALSE(isFile(root + "/share/corvane3d/data/.stamp"));

    std::string icon = readFile(root + "/share/icons/hicolor/128x128/apps/corvane3d.png");
    ASSERT_GT(icon.size(), 24u);
    EXPECT_EQ(icon.substr(1, 3), "PNG");
    EXPECT_EQ(icon.substr(16, 8), std::string("\0\0\0\x80\0\0\0\x80", 8)); // 128 x 128

    std::string desktop = readFile(root + "/share/applications/corvane3d.desktop");
    EXPECT_NE(desktop.find("\nExec=/opt/corvane/bin/corvane3d_client\n"), std::string::npos)
        << desktop;
    EXPECT_NE(desktop.find("\nIcon=corvane3d\n"), std::string::npos);
    std::string unit = readFile(root + "/lib/systemd/system/corvane3d-server.service");
    EXPECT_NE(unit.find("\nExecStart=/opt/corvane/bin/corvane3d_server\n"), std::string::npos)
        << unit;
    EXPECT_NE(unit.find("\nKillSignal=SIGINT\n"), std::string::npos);
    EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos);

    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display for the installed client";
    // Started from a directory without data/, with sound on so that a missing sample would say so.
    testproc::Child client(root + "/bin/corvane3d_client", {"-nick", "Installed"});
    ASSERT_TRUE(client.waitForOutput("Loading .....\n\n", 20000)) << client.out() << client.err();
    char cwd[PATH_MAX] = {};
    ssize_t n =
        readlink(("/proc/" + std::to_string(client.pid()) + "/cwd").c_str(), cwd, sizeof cwd - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(cwd), root + "/share/corvane3d");
    client.signal(SIGTERM);
    client.waitExit();
    EXPECT_EQ(client.out().find("not found"), std::string::npos) << client.out();
    EXPECT_EQ(client.err().find("not found"), std::string::npos) << client.err();
}

TEST_F(Staged, TheDebianPackageHoldsTheSameUnderUsr) {
    bool ok = true;
    std::string log = run("cd '" + stage + "' && cpack -G DEB --config '" + kBuild +
                              "/CPackConfig.cmake' -B '" + stage + "' 2>&1",
                          &ok);
    ASSERT_TRUE(ok) << log;
    const std::string deb = stage + "/corvane3d_1.0.0_amd64.deb";
    std::string listing = run("dpkg-deb -c '" + deb + "'", &ok);
    ASSERT_TRUE(ok) << log;
    for (const char* f :
         {"./usr/bin/corvane3d_client", "./usr/bin/corvane3d_server",
          "./usr/share/corvane3d/data/font.png", "./usr/share/applications/corvane3d.desktop",
          "./usr/share/icons/hicolor/128x128/apps/corvane3d.png",
          "./usr/lib/systemd/system/corvane3d-server.service"})
        EXPECT_NE(listing.find(std::string(f) + "\n"), std::string::npos) << f << "\n" << listing;
    EXPECT_EQ(listing.find("_CPack_Packages"), std::string::npos);
    std::string unit = run("dpkg-deb --fsys-tarfile '" + deb +
                               "' | tar -xO ./usr/lib/systemd/system/corvane3d-server.service",
                           &ok);
    EXPECT_NE(unit.find("\nExecStart=/usr/bin/corvane3d_server\n"), std::string::npos) << unit;
    std::string info = run("dpkg-deb -f '" + deb + "' Depends", &ok);
    EXPECT_NE(info.find("libsdl2-mixer"), std::string::npos) << info;
}
