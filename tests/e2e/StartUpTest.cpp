// The real binary on a private X server: start-up output, window placement,
// the extension report, the dialogs and Esc. Bad input has its own table.
#include "EndToEnd.h"

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

void pressKey(SkorelProcess& app, const std::string& window, const std::string& key) {
    app.xdotool("mousemove --window " + window + " 50 50 windowfocus --sync " + window + " key " +
                key);
}

const char* const credit = "\nThe Skorel developers\nhttps://skorel.example.org\n";

} // namespace

TEST(StartUpEndToEnd, NormalStartPrintsInOrderOpensTheWindowAndEscExits) {
    XServer server;
    SkorelProcess app(server, {});
    const std::string window = app.waitForWindow("Skorel");
    ASSERT_FALSE(window.empty()) << app.wait().err;

    const std::string info = app.command("xwininfo", "-id " + window);
    EXPECT_NE(info.find("Absolute upper-left X:  100"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left Y:  100"), std::string::npos) << info;
    EXPECT_NE(info.find("Width: 640"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 480"), std::string::npos) << info;

    app.settle(0.5);
    pressKey(app, window, "Escape");
    const ExitResult r = app.wait();
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> out = lines(r.out);
    ASSERT_GE(out.size(), 5u) << r.out;
    EXPECT_EQ(out[0], "Mesa/X.org");
    EXPECT_NE(out[1].find("llvmpipe"), std::string::npos);
    EXPECT_NE(out[2].find("Mesa"), std::string::npos);
    EXPECT_NE(out[3].find("GL_EXT_texture3D"), std::string::npos);
    EXPECT_EQ(out[4], "Loading volume (data/neghip.raw) : w=64/64 h=64/64 d=64/64");
    EXPECT_EQ(r.out.substr(r.out.size() - std::string(credit).size()), credit);
    EXPECT_EQ(r.err, "");
}

TEST(StartUpEndToEnd, MissingTexture3DIsReportedAndTheVolumeIsNeverOpened) {
    XServer server;
    SkorelProcess app(server, {"/nonexistent/volume.raw", "8", "8", "8", "8"},
                      {"MESA_EXTENSION_OVERRIDE=-GL_EXT_texture3D"});
    const std::string notice = app.waitForWindow("Missing extensions");
    ASSERT_FALSE(notice.empty()) << app.wait().out;
    pressKey(app, notice, "Return");
    const ExitResult r = app.wait();
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 255);
    const std::string report =
        "\nThe following required OpenGL extensions isn't supported by the graphic card and "
        "driver you're using:\n\nGL_EXT_texture3D\n\nThis application will now exit.\n";
    ASSERT_GE(r.out.size(), report.size());
    EXPECT_EQ(r.out.substr(r.out.size() - report.size()), report);
    EXPECT_EQ(r.out.find("volume"), std::string::npos); // neither loaded nor refused
}

TEST(StartUpEndToEnd, RefusedFullScreenFallsBackToTheWindow) {
    XServer server;
    SkorelProcess app(server, {}, {"SKOREL_FULLSCREEN=yes"});
    const std::string window = app.waitForWindow("Skorel");
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(lines(app.stdoutSoFar()).at(0), "Error Fullscreen Mode !");
    pressKey(app, window, "Escape");
    EXPECT_EQ(app.wait().status, 0);
}

TEST(StartUpEndToEnd, FullScreenQuestionAnsweredNoByKey) {
    XServer server;
    SkorelProcess app(server, {}, {"SKOREL_FULLSCREEN="});
    const std::string question = app.waitForWindow("Start FullScreen?");
    ASSERT_FALSE(question.empty());
    EXPECT_EQ(app.stdoutSoFar(), ""); // nothing happens until it is answered
    pressKey(app, question, "n");
    const std::string window = app.waitForWindow("Skorel");
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(app.stdoutSoFar().find("Error Fullscreen Mode !"), std::string::npos);
    pressKey(app, window, "Escape");
    EXPECT_EQ(app.wait().status, 0);
}
