// The real binary's start and end: output in order, window placement, the
// extension report, Esc, and every kind of bad command line with its message
// and exit status.
#include "GlTestContext.h"
#include "Viewer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string border(const char* axis, int size) {
    return std::string("Warning: a volume ") + axis + " of " + std::to_string(size) +
           " voxels is all transparent border: nothing will be drawn\n";
}

const std::string credit = "\nThe Skorel developers\nhttps://skorel.example.org\n";

} // namespace

TEST(StartUp, PrintsInOrderOpensTheWindowAndEscExits) {
    Viewer v;
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    const std::string info = v.run("xwininfo -id " + v.window);
    for (const char* line :
         {"upper-left X:  100", "upper-left Y:  100", "Width: 640", "Height: 480"})
        EXPECT_NE(info.find(line), std::string::npos) << info;
    const ExitResult r = v.quit();
    EXPECT_TRUE(r.exited && r.status == 0 && r.err.empty()) << r.status << r.err;
    // Vendor, renderer, version and extensions as this driver gives them to
    // the test's own context, then the volume.
    ensureGlContext();
    std::string driver;
    for (GLenum name : {GL_VENDOR, GL_RENDERER, GL_VERSION, GL_EXTENSIONS})
        driver += reinterpret_cast<const char*>(glGetString(name)) + std::string("\n");
    EXPECT_EQ(
        r.out.rfind(driver + "Loading volume (data/neghip.raw) : w=64/64 h=64/64 d=64/64\n", 0), 0u)
        << r.out.substr(0, 300);
    EXPECT_TRUE(endsWith(r.out, credit));
}

TEST(StartUp, MissingTexture3DIsReportedBeforeTheVolumeIsRead) {
    Viewer v({"/nonexistent/volume.raw", "8", "8", "8", "8"},
             {"MESA_EXTENSION_OVERRIDE=-GL_EXT_texture3D"});
    ASSERT_TRUE(v.waitForWindow("Missing extensions")) << v.why();
    v.key("Return");
    const ExitResult r = v.wait();
    EXPECT_TRUE(r.exited && r.status == 255) << r.status;
    EXPECT_TRUE(endsWith(r.out, "\nThe following required OpenGL extensions isn't supported by "
                                "the graphic card and driver you're using:\n\nGL_EXT_texture3D\n"
                                "\nThis application will now exit.\n"))
        << r.out;
    EXPECT_EQ(r.out.find("volume"), std::string::npos); // neither loaded nor refused
}

// Each command line ends by itself with its status, the tail of standard
// output and all of standard error; a nameless pipe and a name past 1023
// characters load (short: a warning) and open the window.
TEST(StartUp, BadCommandLinesEndWithTheirMessageAndStatus) {
    TempFile file(patternBytes(4096), " a  volume.raw");
    const std::string f = file.c_str(), pipe = f + ".pipe",
                      usage = "Usage: skorel filename width height depth [8|16]\n";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0); // nobody writes: read as empty, not waited on
    const std::string longName = std::string(f).insert(4, std::string(3000, '/'));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } rows[] = {
        // clang-format off
        {{"f"}, 0, usage, ""}, {{"f", "8", "8", "8", "8", "8"}, 0, usage, ""},
        {{"-iconic", f, "8", "8", "8"}, 0, usage, ""}, // glutInit takes its option out
        {{f, "0", "-1", "8", "8"}, 1, "", "Error: volume height -1 is out of range (0 to 1024 voxels)\n"},
        {{"/nonexistent/volume.raw", "8", "8", "8", "8"}, 1, "Error: unable to open volume\n",
         "/nonexistent/volume.raw: No such file or directory\n"},
        {{"/tmp", "8", "8", "8", "8"}, 1, "Error: unable to open volume\n", "/tmp: Is a directory\n"},
        {{pipe, "8", "8", "8", "8"}, 0, credit,
         "Warning: " + pipe + " is short: 512 of 8x8x8 samples missing, left 0\n"},
        {{longName, "16", "16", "16", "8"}, 0, credit, ""},
        {{f, "16", "16", "15", "8"}, 0, credit, "Warning: " + f + " is 256 bytes longer than "
         "16x16x15 samples of 1 bytes: the sizes or the sample size may be wrong, or the file may "
         "have a header\n"},
        {{f, "1024", "2", "2", "8"}, 0, credit, border("height", 2) + border("depth", 2)},
        // Without the paletted stand-in the first texture is 2 GiB of RGBA: refused.
        {{"/dev/null", "1024", "1024", "512", "8"}, 1,
         "Loading volume (/dev/null) : w=1024/1024 h=1024/1024 d=512/512\n",
         "Warning: /dev/null is short: 536870912 of 1024x1024x512 samples missing, left 0\n"
         "Error: the driver refused a 1024x1024x512 RGBA volume texture (2147483648 bytes)\n"},
        // clang-format on
    };
    for (const auto& row : rows) {
        Viewer v(row.args, {"MESA_EXTENSION_OVERRIDE=-GL_ARB_fragment_program"});
        const std::string what = row.args[0].substr(0, 40);
        if (row.out == credit) {
            ASSERT_TRUE(v.waitForWindow()) << what << "\n" << v.why();
        }
        const ExitResult r = row.out == credit ? v.quit() : v.wait();
        EXPECT_TRUE(r.exited && r.status == row.status && endsWith(r.out, row.out))
            << what << ": " << r.status << "\n"
            << r.out.substr(0, 300);
        EXPECT_EQ(r.err, row.err) << what;
    }
    std::remove(pipe.c_str());
}
