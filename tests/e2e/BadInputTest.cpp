// Every shape of bad input the real binary may meet, each with its message
// and exit status; none may end by a signal or outlive its time limit.
#include "TempFile.h"
#include "Viewer.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string usage = "Usage: skorel filename width height depth [8|16]\n";
const std::string cannotOpen = "Error: unable to open volume\n";

std::string outOfRange(const char* axis, const char* value) {
    return std::string("Error: volume ") + axis + " " + value +
           " is out of range (0 to 1024 voxels)\n";
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// A command line and how the program must end: status, the tail of standard
// output and all of standard error. A "Loading" line instead of a tail means
// the window opens and Esc ends it with the credit.
struct Ending {
    std::vector<std::string> args;
    int status;
    std::string outTail, err;
};

void expectEndings(const std::vector<Ending>& rows) {
    XServer server;
    for (const Ending& row : rows) {
        std::string label = std::to_string(row.args.size()) + " arguments:";
        for (const std::string& a : row.args)
            label += " '" + a.substr(0, 40) + "'";
        Viewer v(row.args, {}, &server);
        const bool opens = row.outTail.rfind("Loading", 0) == 0;
        if (opens) {
            ASSERT_TRUE(v.waitForWindow()) << label << "\n" << v.why();
        }
        const ExitResult r = opens ? v.quit() : v.wait();
        EXPECT_TRUE(r.exited) << label << ": timed out or ended by a signal";
        EXPECT_EQ(r.status, row.status) << label << "\n" << r.err;
        const std::string credit = "\nThe Skorel developers\nhttps://skorel.example.org\n";
        EXPECT_TRUE(opens ? r.out.find(row.outTail + "\n") != std::string::npos &&
                                endsWith(r.out, credit)
                          : endsWith(r.out, row.outTail))
            << label << "\n"
            << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
        EXPECT_EQ(r.err, row.err) << label;
    }
}

} // namespace

TEST(BadInputEndToEnd, WrongCountsRefusedSizesAndUnopenableFilesEndAtOnce) {
    TempFile file(patternBytes(64));
    const std::string f = file.c_str();
    expectEndings({
        {{"f"}, 0, usage, ""},
        {{"f", "8", "8", "8", "8", "8"}, 0, usage, ""},
        {{"-iconic", f, "8", "8", "8"}, 0, usage, ""}, // glutInit takes its option out
        {{f, "0", "-1", "8", "8"}, 1, "", outOfRange("height", "-1")},
        {{f, "8", "8", "1025", "16"}, 1, "", outOfRange("depth", "1025")},
        {{f, "8", "4294967297", "8", "8"}, 1, "", outOfRange("height", "2147483647")},
        {{"/nonexistent/volume.raw", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"/tmp", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"/tmp/" + std::string(5000, 'n'), "8", "8", "8", "8"}, 1, cannotOpen, ""},
    });
}

TEST(BadInputEndToEnd, OddButLoadableInputsOpenTheWindow) {
    TempFile full(patternBytes(1024 * 2 * 2)), empty({}), odd(patternBytes(101)),
        spaced(patternBytes(16 * 16 * 16), " a volume  with spaces.raw");
    const std::string f = full.c_str(), e = empty.c_str(), o = odd.c_str(), s = spaced.c_str();
    // Longer than the 1023 characters a fixed name buffer would hold.
    std::string longName = std::filesystem::path(s).parent_path().string();
    while (longName.size() < 3000)
        longName += "/.";
    longName += "/" + std::filesystem::path(s).filename().string();
    // A named pipe nobody writes to reads as empty instead of blocking the start.
    const std::string pipe = e + ".pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto shortBy = [](const std::string& name, const char* what) {
        return "Warning: " + name + " is short: " + what + " samples missing, left 0\n";
    };
    expectEndings({
        // Words that are not numbers are 0: nothing is read, nothing is missing.
        {{f, "abc", "", "4x", "eight"}, 0, "Loading volume (" + f + ") : w=0/2 h=0/2 d=4/16", ""},
        {{f, "1024", "2", "2", "8"}, 0, "Loading volume (" + f + ") : w=1024/1024 h=2/2 d=2/2", ""},
        {{e, "8", "8", "8", "8"},
         0,
         "Loading volume (" + e + ") : w=8/16 h=8/16 d=8/16",
         shortBy(e, "512 of 8x8x8")},
        {{pipe, "8", "8", "8", "8"},
         0,
         "Loading volume (" + pipe + ") : w=8/16 h=8/16 d=8/16",
         shortBy(pipe, "512 of 8x8x8")},
        // 101 bytes hold 50 two-byte samples; the odd byte is no sample.
        {{o, "10", "10", "1", "16"},
         0,
         "Loading volume (" + o + ") : w=10/16 h=10/16 d=1/2",
         shortBy(o, "50 of 10x10x1")},
        {{longName, "16", "16", "16", "8"},
         0,
         "Loading volume (" + longName + ") : w=16/16 h=16/16 d=16/16",
         ""},
    });
    unlink(pipe.c_str());
}

TEST(BadInputEndToEnd, FileWithoutReadPermissionEndsWithStatusOne) {
    TempFile file(patternBytes(512));
    std::string path = file.c_str();
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    auto readable = [](const std::string& p) {
        FILE* f = std::fopen(p.c_str(), "rb");
        return f && !std::fclose(f);
    };
    if (readable(path)) {
        // Root reads files whatever their mode; a write-only sysctl refuses root too.
        path = "/proc/sys/vm/drop_caches";
        if (access(path.c_str(), F_OK) != 0 || readable(path))
            GTEST_SKIP() << "no file here is unreadable for this user";
    }
    expectEndings({{{path, "8", "8", "8", "8"}, 1, cannotOpen, ""}});
}
