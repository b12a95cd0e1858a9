// The real binary's start: output in order, window placement, the extension
// report, the full-screen question, the frame-exit hook, and Esc.
#include "Viewer.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

const std::string credit = "\nThe Skorel developers\nhttps://skorel.example.org\n";

} // namespace

TEST(StartUp, PrintsInOrderOpensTheWindowAndEscExits) {
    Viewer v;
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    const std::string info = v.run("xwininfo -id " + v.window);
    for (const char* line : {"Absolute upper-left X:  100", "Absolute upper-left Y:  100",
                             "Width: 640", "Height: 480"})
        EXPECT_NE(info.find(line), std::string::npos) << info;
    const ExitResult r = v.quit();
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> out = lines(r.out);
    ASSERT_GE(out.size(), 6u) << r.out;
    EXPECT_EQ(out[0], "Mesa/X.org");
    EXPECT_NE(out[1].find("llvmpipe"), std::string::npos);
    EXPECT_NE(out[2].find("Mesa"), std::string::npos);
    EXPECT_NE(out[3].find("GL_EXT_texture3D"), std::string::npos);
    EXPECT_EQ(out[4], "Loading volume (data/neghip.raw) : w=64/64 h=64/64 d=64/64");
    EXPECT_EQ(r.out.substr(r.out.size() - credit.size()), credit);
    EXPECT_EQ(r.err, "");
}

TEST(StartUp, MissingTexture3DIsReportedBeforeTheVolumeIsRead) {
    Viewer v({"/nonexistent/volume.raw", "8", "8", "8", "8"},
             {"MESA_EXTENSION_OVERRIDE=-GL_EXT_texture3D"});
    ASSERT_TRUE(v.waitForWindow("Missing extensions")) << v.why();
    v.key("Return");
    const ExitResult r = v.wait();
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 255);
    const std::string report =
        "\nThe following required OpenGL extensions isn't supported by the graphic card and "
        "driver you're using:\n\nGL_EXT_texture3D\n\nThis application will now exit.\n";
    ASSERT_GE(r.out.size(), report.size());
    EXPECT_EQ(r.out.substr(r.out.size() - report.size()), report);
    EXPECT_EQ(r.out.find("volume"), std::string::npos); // neither loaded nor refused
}

TEST(StartUp, RefusedOrDeclinedFullScreenEndsInTheWindow) {
    XServer server;
    Viewer refused({}, {"SKOREL_FULLSCREEN=yes"}, &server);
    ASSERT_TRUE(refused.waitForWindow()) << refused.why();
    EXPECT_EQ(lines(refused.stdoutSoFar()).at(0), "Error Fullscreen Mode !");
    EXPECT_EQ(refused.quit().status, 0);

    Viewer asked({}, {"SKOREL_FULLSCREEN="}, &server);
    ASSERT_TRUE(asked.waitForWindow("Start FullScreen?")) << asked.why();
    EXPECT_EQ(asked.stdoutSoFar(), ""); // nothing happens until it is answered
    asked.key("n");
    ASSERT_TRUE(asked.waitForWindow()) << asked.why();
    EXPECT_EQ(asked.quit().out.find("Error Fullscreen Mode !"), std::string::npos);
}

// Start-up timing relies on it: the n-th swapped frame is the last output.
TEST(StartUp, ExitAfterFramesHookEndsAfterTheLastSwap) {
    Viewer v({}, {"SKOREL_EXIT_AFTER_FRAMES=3"});
    const ExitResult r = v.wait(60);
    ASSERT_TRUE(r.exited) << r.err;
    EXPECT_EQ(r.status, 0);
    const size_t line = r.out.find("Swapped frame 3\n");
    ASSERT_NE(line, std::string::npos) << r.out;
    EXPECT_EQ(line + 16, r.out.size());
    EXPECT_EQ(r.out.find("Swapped frame 2"), std::string::npos);
}
