// Memory in proportion to the input: files whose counts and sizes claim far more than they
// hold are read by the command-line tool in a process of its own, whose peak memory is
// compared with the same command on a small sound file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include "fixtures/fixtures.h"

using namespace vorlin;

extern char** environ;

namespace {

struct ProcessRun {
    int status = -1;
    long peakKB = 0;
    double cpuSeconds = 0;
};

// Runs vorlin-cli with the arguments, output discarded; its peak memory and processor time.
ProcessRun Cli(const std::vector<std::string>& args) {
    std::vector<std::string> all = {VORLIN_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    ProcessRun r;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return r;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    r.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.peakKB = usage.ru_maxrss;
    return r;
}

constexpr long kLimitKB = 64 * 1024;

class MemoryBounds : public testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer keeps memory of its own";
#endif
        baseline_ = Cli({"key", "dump", dir_.write("small.key", "SECTION: HEADER\nFRAMES 1\n")});
        ASSERT_EQ(baseline_.status, 0);
    }
    // The command on a claiming file: within the limit above the baseline, and no walk over
    // the count it claims (two billion steps take far more processor time than this; the
    // bounded reader takes a hundredth of it, however loaded the machine is).
    void ExpectBounded(const std::vector<std::string>& args, const char* what) {
        ProcessRun r = Cli(args);
        EXPECT_LE(r.status, 1) << what; // done, or refused with an error; never killed
        EXPECT_LT(r.peakKB - baseline_.peakKB, kLimitKB) << what;
        EXPECT_LT(r.cpuSeconds, 5.0) << what;
    }
    test::TempDir dir_;
    ProcessRun baseline_;
};

} // namespace

TEST_F(MemoryBounds, KeyCounts) {
    const std::string big = "2147483647";
    ExpectBounded(
        {"key", "dump", dir_.write("m.key", "SECTION: MARKERS\nMARKERS " + big + "\n1 1\n")},
        "markers");
    ExpectBounded({"key", "dump",
                   dir_.write("n.key", "SECTION: KEYFRAME NODES\nNODES " + big +
                                           "\nNODE 0\nMESH NAME A\nENTRIES " + big +
                                           "\n0: 0 0x0 0 0 0 0 0 0\n")},
                  "nodes and entries");
}

TEST_F(MemoryBounds, ModelCounts) {
    const std::string big = "2147483647";
    const std::string head = "SECTION: GEOMETRYDEF\nRADIUS 1\nINSERT OFFSET 0 0 0\nGEOSETS 1\n"
                             "GEOSET 0\nMESHES " +
                             big + "\nMESH 0\nNAME m\n";
    ExpectBounded({"model", "dump", dir_.write("v.3do", head + "VERTICES " + big + "\n0: 0 0 0\n")},
                  "vertices");
    ExpectBounded({"model", "dump",
                   dir_.write("t.3do", head + "VERTICES 1\n0: 0 0 0\nTEXTURE VERTICES " + big +
                                           "\n0: 0 0\n")},
                  "texture vertices");
    std::string faces = head + "VERTICES 1\n0: 0 0 0\nTEXTURE VERTICES 0\nFACES " + big + "\n";
    for (int i = 0; i < 2000; ++i)
        faces += "0: 0 0x0 4 3 0 0 1024\n";
    ExpectBounded({"model", "dump", dir_.write("f.3do", faces)}, "faces and their corners");
    ExpectBounded({"model", "dump",
                   dir_.write("h.3do", "SECTION: HIERARCHYDEF\nHIERARCHY NODES " + big +
                                           "\n0: 0 0 0 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 a\n")},
                  "hierarchy nodes");
    ExpectBounded(
        {"model", "dump",
         dir_.write("r.3do", "SECTION: MODELRESOURCE\nMATERIALS " + big + "\n0: a.mat\n")},
        "materials");
}

TEST_F(MemoryBounds, PicturesAndContainers) {
    for (int bits : {8, 16}) {
        std::string mat = dir_.write("big.mat", test::BuildTextureMat(65535, 65535, bits, 0, "xy"));
        ExpectBounded({"texture", mat, "--out", dir_.file("big.png")}, "a 65535 x 65535 picture");
    }
    // A container whose header claims 2^31-1 entries, and one whose entry claims about 4 GB.
    std::string gob = test::BuildGob({{"a.txt", "abc"}});
    for (int i = 0; i < 4; ++i)
        gob[size_t(12 + i)] = "\xFF\xFF\xFF\x7F"[i];
    ExpectBounded({"container", "list", dir_.write("count.gob", gob)}, "entry count");
    std::string claim =
        test::BuildGob({{"big.mat", test::BuildTextureMat(65535, 65535, 8, 0, "")}});
    for (int i = 0; i < 4; ++i)
        claim[size_t(20 + i)] = "\x00\xFF\xFF\xFF"[i];
    const std::string path = dir_.write("claim.gob", claim);
    ExpectBounded({"cat", path + ">big.mat"}, "a stored file claiming 4 GB");
    ExpectBounded({"texture", path + ">big.mat", "--out", dir_.file("c.png")},
                  "a picture in a stored file claiming 4 GB");
}
