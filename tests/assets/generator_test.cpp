#include <gtest/gtest.h>

#include "support/process.h"

#include <dirent.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

const std::string kGenerator = std::string(CORVANE_BUILD_DIR) + "/corvane_assetgen";

std::set<std::string> listDir(const std::string& dir) {
    std::set<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.insert(e->d_name);
    closedir(d);
    return names;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string tempDir() {
    char tmpl[] = "/tmp/corvane_assetsXXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

void removeDir(const std::string& dir) {
    for (const std::string& n : listDir(dir))
        unlink((dir + "/" + n).c_str());
    rmdir(dir.c_str());
}

} // namespace

TEST(Generator, TwoRunsWriteTheSameFilesByteForByte) {
    std::string a = tempDir(), b = tempDir();
    ASSERT_FALSE(a.empty() || b.empty());
    {
        testproc::Child first(kGenerator, {a});
        testproc::Child second(kGenerator, {b});
        EXPECT_EQ(first.waitExit(120000), 0);
        EXPECT_EQ(second.waitExit(120000), 0);
    }
    std::set<std::string> names = listDir(a);
    EXPECT_EQ(names.size(), 59u);
    EXPECT_EQ(names, listDir(b));
    EXPECT_EQ(names.count("flame31.png"), 1u);
    EXPECT_EQ(names.count("intro.s3m"), 1u);
    for (const std::string& n : names) {
        std::string x = readAll(a + "/" + n);
        EXPECT_FALSE(x.empty()) << n;
        EXPECT_TRUE(x == readAll(b + "/" + n)) << n << " differs between runs";
        EXPECT_TRUE(x == readAll(std::string(CORVANE_BUILD_DIR) + "/data/" + n))
            << n << " differs from the build's data";
    }
    removeDir(a);
    removeDir(b);
}

TEST(Generator, WithoutAnOutputDirectoryItPrintsUsageAndFails) {
    testproc::Child child(kGenerator, {});
    EXPECT_NE(child.waitExit(10000), 0);
}

TEST(Generator, AnUnwritableOutputDirectoryIsAFailure) {
    testproc::Child child(kGenerator, {"/proc/corvane_no_such_dir/data"});
    EXPECT_NE(child.waitExit(10000), 0);
}
