// The real binary's start: output in order, window placement, the extension
// report, the full-screen question, the frame-exit hook, and Esc.
#include "Viewer.h"

#include <gtest/gtest.h>

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

TEST(StartUp, PrintsInOrderOpensTheWindowAndEscExits) {
    Viewer v;
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    const std::string info = v.run("xwininfo -id " + v.window);
    for (const char* line : {"Absolute upper-left X:  100", "Absolute upper-left Y:  100",
                             "Width: 640", "Height: 480"})
        EXPECT_NE(info.find(line), std::string::npos) << info;
    const ExitResult r = v.quit();
    EXPECT_TRUE(r.exited && r.status == 0 && r.err.empty()) << r.status << r.err;
    // Vendor, renderer, version, extensions, then the volume and its texture.
    const std::string loading = "\nLoading volume (data/neghip.raw) : w=64/64 h=64/64 d=64/64\n";
    EXPECT_EQ(r.out.rfind("Mesa/X.org\nllvmpipe", 0), 0u) << r.out.substr(0, 200);
    EXPECT_NE(r.out.find("GL_EXT_texture3D"), std::string::npos);
    EXPECT_LT(r.out.find("GL_EXT_texture3D"), r.out.find(loading));
    EXPECT_TRUE(endsWith(r.out, "\nThe Skorel developers\nhttps://skorel.example.org\n"));
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

TEST(StartUp, RefusedOrDeclinedFullScreenEndsInTheWindow) {
    Viewer refused({}, {"SKOREL_FULLSCREEN=yes"}), asked({}, {"SKOREL_FULLSCREEN="});
    ASSERT_TRUE(refused.waitForWindow()) << refused.why();
    EXPECT_EQ(refused.stdoutSoFar().rfind("Error Fullscreen Mode !\n", 0), 0u);
    EXPECT_EQ(refused.quit().status, 0);
    ASSERT_TRUE(asked.waitForWindow("Start FullScreen\\?")) << asked.why();
    EXPECT_EQ(asked.stdoutSoFar(), ""); // nothing happens until it is answered
    asked.key("n");
    ASSERT_TRUE(asked.waitForWindow()) << asked.why();
    EXPECT_EQ(asked.quit().out.find("Error Fullscreen Mode !"), std::string::npos);
}

// Start-up timing relies on it: the n-th swapped frame is the last output.
TEST(StartUp, ExitAfterFramesHookEndsAfterTheLastSwap) {
    const ExitResult r = Viewer({}, {"SKOREL_EXIT_AFTER_FRAMES=3"}).wait(60);
    EXPECT_TRUE(r.exited && r.status == 0) << r.err;
    EXPECT_TRUE(endsWith(r.out, "\nSwapped frame 3\n")) << r.out;
    EXPECT_EQ(r.out.find("Swapped frame 2"), std::string::npos);
}
