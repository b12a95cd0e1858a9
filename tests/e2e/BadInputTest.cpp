// Every shape of bad input the real binary may meet, each with its message
// and exit status; none may end by a signal or outlive its time limit.
#include "EndToEnd.h"
#include "TempFile.h"
#include "app/Application.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string usage = "Usage: skorel filename width height depth [8|16]\n";
const std::string cannotOpen = "Error: unable to open volume\n";
const std::string credit = "\nThe Skorel developers\nhttps://skorel.example.org\n";

std::string outOfRange(const char* axis, const char* value) {
    return std::string("Error: volume ") + axis + " " + value +
           " is out of range (0 to 1024 voxels)\n";
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A command line the program must end by itself: status, the tail of standard
// output and all of standard error.
struct Ending {
    std::vector<std::string> args;
    int status;
    std::string outTail, err;
};

void expectEnding(const ExitResult& r, const Ending& row, const std::string& label) {
    EXPECT_TRUE(r.exited) << label << (r.timedOut ? ": timed out" : ": ended by a signal");
    EXPECT_EQ(r.status, row.status) << label << "\n" << r.out << r.err;
    EXPECT_TRUE(endsWith(r.out, row.outTail)) << label << "\n" << r.out;
    EXPECT_EQ(r.err, row.err) << label;
}

std::string describe(const std::vector<std::string>& args) {
    std::string text = std::to_string(args.size()) + " arguments:";
    for (const std::string& a : args)
        text += " '" + a.substr(0, 40) + "'";
    return text;
}

// Loads, opens the window, and must then end with status 0 on Esc.
void expectWindowThenEsc(const XServer& server, const std::vector<std::string>& args,
                         const std::string& loadingLine, const std::string& err) {
    const std::string label = describe(args);
    SkorelProcess app(server, args);
    const std::string window = app.waitForWindow("Skorel");
    ASSERT_FALSE(window.empty()) << label << "\n" << app.wait().out << app.wait().err;
    app.xdotool("mousemove --window " + window + " 50 50 windowfocus --sync " + window +
                " key Escape");
    const ExitResult r = app.wait();
    EXPECT_TRUE(r.exited) << label;
    EXPECT_EQ(r.status, 0) << label;
    EXPECT_NE(r.out.find(loadingLine + "\n"), std::string::npos) << label << "\n" << r.out;
    EXPECT_TRUE(endsWith(r.out, credit)) << label;
    EXPECT_EQ(r.err, err) << label;
}

} // namespace

TEST(CommandLineParsing, HugeNumbersSaturateInsteadOfWrapping) {
    const char* argv[] = {"skorel",    "f", "4294967297", "-99999999999", "99999999999999999999",
                          "4294967304"};
    CommandLine line;
    ASSERT_TRUE(parseCommandLine(6, argv, line));
    EXPECT_EQ(line.width, 2147483647);
    EXPECT_EQ(line.height, -2147483647 - 1);
    EXPECT_EQ(line.depth, 2147483647);
    EXPECT_FALSE(line.eightBit); // 2^32 + 8 is not 8
    EXPECT_EQ(sizeProblem(line, 2048),
              "Error: volume width 2147483647 is out of range (0 to 1024 voxels)");
}

TEST(BadInputEndToEnd, WrongArgumentCountsEndBeforeAnyWindow) {
    const std::vector<std::vector<std::string>> lines = {{"f"},
                                                         {"f", "8"},
                                                         {"f", "8", "8"},
                                                         {"f", "8", "8", "8"},
                                                         {"f", "8", "8", "8", "8", "8"},
                                                         {"f", "8", "8", "8", "8", "8", "8"},
                                                         {"", "", "", ""}};
    for (const auto& args : lines)
        expectEnding(runWithoutDisplay(args), {args, 0, usage, ""}, describe(args));
}

TEST(BadInputEndToEnd, RefusedSizesMissingFilesAndDirectoriesEndWithStatusOne) {
    TempFile file(patternBytes(64));
    const std::string f = file.c_str();
    const std::string longMissing = "/tmp/" + std::string(5000, 'n') + ".raw";
    const std::vector<Ending> rows = {
        {{f, "0", "-1", "8", "8"}, 1, "", outOfRange("height", "-1")},
        {{f, "-2147483648", "8", "8", "8"}, 1, "", outOfRange("width", "-2147483648")},
        {{f, "8", "8", "1025", "8"}, 1, "", outOfRange("depth", "1025")},
        {{f, "1025", "1025", "1025", "16"}, 1, "", outOfRange("width", "1025")},
        {{f, "8", "4294967297", "8", "8"}, 1, "", outOfRange("height", "2147483647")},
        {{f, "99999999999999999999", "8", "8", "8"}, 1, "", outOfRange("width", "2147483647")},
        {{f, "8", "8", "-99999999999", "8"}, 1, "", outOfRange("depth", "-2147483648")},
        {{"/nonexistent/volume.raw", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"/tmp", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{longMissing, "8", "8", "8", "8"}, 1, cannotOpen, ""},
        // glutInit takes its own option out, which leaves four arguments.
        {{"-iconic", f, "8", "8", "8"}, 0, usage, ""},
    };
    XServer server;
    for (const Ending& row : rows) {
        SkorelProcess app(server, row.args);
        expectEnding(app.wait(), row, describe(row.args));
    }
}

TEST(BadInputEndToEnd, FileWithoutReadPermissionEndsWithStatusOne) {
    TempFile file(patternBytes(512));
    std::string path = file.c_str();
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    if (FILE* readable = std::fopen(path.c_str(), "rb")) {
        // Root reads files whatever their mode; a sysctl that is write-only
        // refuses root too.
        std::fclose(readable);
        path = "/proc/sys/vm/drop_caches";
        FILE* check = std::fopen(path.c_str(), "rb");
        if (check) std::fclose(check);
        if (check || access(path.c_str(), F_OK) != 0)
            GTEST_SKIP() << "no file here is unreadable for this user (uid " << geteuid() << ")";
    }
    XServer server;
    SkorelProcess app(server, {path, "8", "8", "8", "8"});
    expectEnding(app.wait(), {{}, 1, cannotOpen, ""}, "unreadable " + path);
}

TEST(BadInputEndToEnd, OddButLoadableInputsOpenTheWindowAndEscExitsWithZero) {
    TempFile full(patternBytes(1024 * 2 * 2)), empty({}), odd(patternBytes(101));
    XServer server;
    const std::string f = full.c_str(), e = empty.c_str(), o = odd.c_str();
    expectWindowThenEsc(server, {}, "Loading volume (data/neghip.raw) : w=64/64 h=64/64 d=64/64",
                        "");
    // Words that are not numbers are 0: nothing is read, nothing is missing.
    expectWindowThenEsc(server, {f, "abc", "", "4x", "eight"},
                        "Loading volume (" + f + ") : w=0/2 h=0/2 d=4/16", "");
    expectWindowThenEsc(server, {f, "1024", "2", "2", "8"},
                        "Loading volume (" + f + ") : w=1024/1024 h=2/2 d=2/2", "");
    expectWindowThenEsc(server, {e, "8", "8", "8", "8"},
                        "Loading volume (" + e + ") : w=8/16 h=8/16 d=8/16",
                        "Warning: " + e + " is short: 512 of 8x8x8 samples missing, left 0\n");
    // A named pipe nobody writes to reads as empty instead of blocking the start.
    char pipe[] = "/tmp/skorel-pipe-XXXXXX";
    ASSERT_NE(mkdtemp(pipe), nullptr);
    const std::string p = std::string(pipe) + "/volume";
    ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
    expectWindowThenEsc(server, {p, "8", "8", "8", "8"},
                        "Loading volume (" + p + ") : w=8/16 h=8/16 d=8/16",
                        "Warning: " + p + " is short: 512 of 8x8x8 samples missing, left 0\n");
    unlink(p.c_str());
    rmdir(pipe);
    // 101 bytes hold 50 two-byte samples; the odd byte is no sample.
    expectWindowThenEsc(server, {o, "10", "10", "1", "16"},
                        "Loading volume (" + o + ") : w=10/16 h=10/16 d=1/2",
                        "Warning: " + o + " is short: 50 of 10x10x1 samples missing, left 0\n");
}

TEST(BadInputEndToEnd, LongNamesAndNamesWithSpacesLoad) {
    char dir[] = "/tmp/skorel-names-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string spaced = std::string(dir) + "/a volume  with spaces.raw";
    FILE* f = std::fopen(spaced.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::vector<unsigned char> bytes = patternBytes(16 * 16 * 16);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    // Longer than the 1023 characters a fixed name buffer would hold.
    std::string longName = dir;
    while (longName.size() < 3000)
        longName += "/.";
    longName += "/a volume  with spaces.raw";

    XServer server;
    expectWindowThenEsc(server, {spaced, "16", "16", "16", "8"},
                        "Loading volume (" + spaced + ") : w=16/16 h=16/16 d=16/16", "");
    expectWindowThenEsc(server, {longName, "16", "16", "16", "8"},
                        "Loading volume (" + longName + ") : w=16/16 h=16/16 d=16/16", "");
    std::remove(spaced.c_str());
    rmdir(dir);
}
