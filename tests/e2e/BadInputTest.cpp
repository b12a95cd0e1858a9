// Every shape of bad input the real binary may meet, each with its message
// and exit status; none may end by a signal or outlive its time limit.
#include "TestData.h"
#include "Viewer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string usage = "Usage: skorel filename width height depth [8|16]\n";
const std::string cannotOpen = "Error: unable to open volume\n";

// A command line and how the program must end: status, the tail of standard
// output and all of standard error. A "Loading" line instead of a tail means
// the window opens and Esc ends it with the credit.
struct Ending {
    std::vector<std::string> args;
    int status;
    std::string out, err;
};

void expectEndings(const std::vector<Ending>& rows) {
    for (const Ending& row : rows) {
        std::string label = std::to_string(row.args.size()) + " arguments:";
        for (const std::string& a : row.args)
            label += " '" + a.substr(0, 40) + "'";
        Viewer v(row.args);
        const bool opens = row.out.rfind("Loading", 0) == 0;
        if (opens) {
            ASSERT_TRUE(v.waitForWindow()) << label << "\n" << v.why();
        }
        const ExitResult r = opens ? v.quit() : v.wait();
        EXPECT_TRUE(r.exited && r.status == row.status) << label << ": " << r.status << r.err;
        const std::string tail =
            opens ? "\nThe Skorel developers\nhttps://skorel.example.org\n" : row.out;
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), tail.size())), tail) << label;
        EXPECT_TRUE(!opens || r.out.find(row.out + "\n") != std::string::npos) << label;
        EXPECT_EQ(r.err, row.err) << label;
    }
}

} // namespace

TEST(BadInputEndToEnd, WrongCountsRefusedSizesAndUnopenableFilesEndAtOnce) {
    TempFile file(patternBytes(64));
    const std::string f = file.c_str();
    auto outOfRange = [](const char* axis, const char* value) {
        return std::string("Error: volume ") + axis + " " + value +
               " is out of range (0 to 1024 voxels)\n";
    };
    expectEndings({
        {{"f"}, 0, usage, ""},
        {{"f", "8", "8", "8", "8", "8"}, 0, usage, ""},
        {{"-iconic", f, "8", "8", "8"}, 0, usage, ""}, // glutInit takes its option out
        {{f, "0", "-1", "8", "8"}, 1, "", outOfRange("height", "-1")},
        {{f, "8", "4294967297", "8", "8"}, 1, "", outOfRange("height", "2147483647")},
        {{"/nonexistent/volume.raw", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"/tmp", "8", "8", "8", "8"}, 1, cannotOpen, ""},
        {{"/tmp/" + std::string(5000, 'n'), "8", "8", "8", "8"}, 1, cannotOpen, ""},
    });
}

TEST(BadInputEndToEnd, ShortFilesPipesAndLongNamesWithSpacesOpenTheWindow) {
    TempFile empty({}), odd(patternBytes(101)), spaced(patternBytes(4096), " a  volume.raw");
    const std::string e = empty.c_str(), o = odd.c_str(), pipe = e + ".pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0); // nobody writes: read as empty, not waited on
    // Longer than the 1023 characters a fixed name buffer would hold.
    std::string longName = std::string(spaced.c_str()).insert(4, std::string(3000, '/'));
    auto warning = [](const std::string& name, const char* what) {
        return "Warning: " + name + " is short: " + what + " samples missing, left 0\n";
    };
    expectEndings({
        {{e, "8", "8", "8", "8"},
         0,
         "Loading volume (" + e + ") : w=8/16 h=8/16 d=8/16",
         warning(e, "512 of 8x8x8")},
        {{pipe, "8", "8", "8", "8"},
         0,
         "Loading volume (" + pipe + ") : w=8/16 h=8/16 d=8/16",
         warning(pipe, "512 of 8x8x8")},
        // 101 bytes hold 50 two-byte samples; the odd byte is no sample.
        {{o, "10", "10", "1", "16"},
         0,
         "Loading volume (" + o + ") : w=10/16 h=10/16 d=1/2",
         warning(o, "50 of 10x10x1")},
        {{longName, "16", "16", "16", "8"},
         0,
         "Loading volume (" + longName + ") : w=16/16 h=16/16 d=16/16",
         ""},
    });
    unlink(pipe.c_str());
}
