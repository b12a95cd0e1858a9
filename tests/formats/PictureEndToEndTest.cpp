// skorel-open's pictures and looks as a user gets them: the p key's PNG is
// the window's picture, batch pictures repeat exactly, the clipping plane
// takes away exactly one half, and the opacity holds across slice counts.
#include "FormatFiles.h"
#include "Viewer.h"
#include "commands/Settings.h"

#include <gtest/gtest.h>
#include <png.h>

namespace {

Image readPng(const std::string& path) {
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return {};
    png.format = PNG_FORMAT_RGB;
    Image image{int(png.width), int(png.height), std::vector<unsigned char>(PNG_IMAGE_SIZE(png))};
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) return {};
    return image;
}

// 16^3 one-byte voxels from value(x, y, z), as a headerless file.
std::string writeVolume(const TempDir& dir, const std::string& name, int (*value)(int, int, int)) {
    std::string bytes;
    for (int i = 0; i < 16 * 16 * 16; ++i)
        bytes += char(value(i % 16, i / 16 % 16, i / 256));
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
}

// One batch picture of a 16^3 volume with a look; its status and pixels.
std::pair<int, Image> shot(const TempDir& dir, const std::string& data, const std::string& look,
                           std::vector<std::string> args = {}) {
    std::ofstream(dir / "look") << look;
    const std::string out = dir / "shot.png";
    std::remove(out.c_str());
    args.insert(args.begin(), {data, "--size", "16x16x16", "--settings", dir / "look"});
    args.insert(args.end(), {"--screenshot", out});
    const ExitResult r = Viewer(args, {}, SKOREL_OPEN_BINARY).wait();
    EXPECT_EQ(r.err, "") << look;
    return {r.status, readPng(out)};
}

} // namespace

// p saves the next frame as the next free number, w the look; Esc ends as always.
TEST(PictureEndToEnd, KeysSaveTheWindowPixelForPixelAndTheLook) {
    TempDir dir;
    const std::string data = writeVolume(dir, "v.raw", [](int x, int, int) { return 30 + 12 * x; });
    std::ofstream(dir / "v-001.png") << "taken";
    Viewer app({"-c", "cd " + dir / "" + " && exec " SKOREL_OPEN_BINARY " v.raw --size 16x16x16"},
               {}, "/bin/sh");
    ASSERT_TRUE(app.waitForWindow()) << app.why();
    app.key("e e c v p w");
    // The screen shows the saved picture exactly once the frame rate reads the same.
    app.waitForPicture([&](const Image& i) { return readPng(dir / "v-002.png").rgb == i.rgb; });
    const ExitResult r = app.quit();
    EXPECT_EQ(r.out.substr(r.out.find("Saved")), "Saved ./v-002.png\nSaved ./v-001.skorel\n\n"
                                                 "The Skorel developers\nhttps://skorel.example.org\n");
    std::ifstream in(dir / "v-001.skorel");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    Look look, expected;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(parseLook(text, look, error, warnings)) << error;
    expected.sliceCount = 100, expected.windowGiven = true, expected.clip.on = true;
    expected.clip.normal[2] = -1, expected.window[0] = 0;
    EXPECT_EQ(text, formatLook(expected));
    EXPECT_EQ(std::ifstream(dir / "v-001.png").get(), 't');
}

TEST(PictureEndToEnd, AFolderThatCannotBeWrittenGivesOneLineAndTheViewerRunsOn) {
    TempDir dir;
    writeVolume(dir, "v.raw", [](int x, int, int) { return 30 + 12 * x; });
    Viewer app({"-c", "cd " + dir / "" + " && mkdir gone && cd gone && rmdir ../gone && exec " +
                          SKOREL_OPEN_BINARY + " ../v.raw --size 16x16x16"},
               {}, "/bin/sh");
    ASSERT_TRUE(app.waitForWindow()) << app.why();
    app.key("p w");
    const ExitResult r = app.quit();
    EXPECT_EQ(std::make_pair(r.status, r.err),
              std::make_pair(0, std::string("Error: cannot write ./v-001.png: No such file or "
                                            "directory\nError: cannot write ./v-001.skorel: No "
                                            "such file or directory\n")));
}
