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
    EXPECT_EQ(r.out.substr(r.out.find("Saved")),
              "Saved ./v-002.png\nSaved ./v-001.skorel\n\n"
              "The Skorel developers\nhttps://skorel.example.org\n");
    std::ifstream in(dir / "v-001.skorel");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    Look expected;
    expected.sliceCount = 100, expected.windowGiven = true, expected.clip.on = true;
    expected.rotationGiven = true;
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

// Red far half (z < 8), green near half; the plane through the centre (at
// 0.25: through z = 10) takes away what zeroing those voxels takes away, pixel
// for pixel, facing the viewer or turned with the volume. 14 slices, nearest
// filter: no slice samples the boundary itself.
TEST(PictureEndToEnd, TheClippingPlaneTakesAwayExactlyItsHalf) {
    TempDir dir;
    const auto halves = [](int, int, int z) { return z < 8 ? 200 : 120; };
    const std::string both = writeVolume(dir, "both.raw", halves);
    const std::string look = "slices = 14\nfilter = nearest\nwindow = 0 255\n";
    const struct {
        std::string clip, view;
        int (*kept)(int, int, int);
    } rows[] = {
        {"0 0 1 0", "0,0", [](int, int, int z) { return z < 8 ? 200 : 0; }},
        {"0 0 -1 0", "0,0", [](int, int, int z) { return z < 8 ? 0 : 120; }},
        {"0 0 1 0.25", "0,0", [](int, int, int z) { return z < 8    ? 200
                                                           : z < 10 ? 120
                                                                    : 0; }},
        {"0 0 1 0", "60,0", [](int, int, int z) { return z < 8 ? 200 : 0; }},
    };
    for (const auto& row : rows) {
        const auto [status, clipped] =
            shot(dir, both, look + "clip = " + row.clip + "\n", {"--view", row.view});
        const auto [status2, expected] =
            shot(dir, writeVolume(dir, "kept.raw", row.kept), look, {"--view", row.view});
        const auto [status3, whole] = shot(dir, both, look, {"--view", row.view});
        EXPECT_EQ(std::make_pair(status, status2), std::make_pair(0, 0));
        EXPECT_TRUE(clipped.rgb == expected.rgb && clipped.rgb != whole.rgb) << row.clip;
    }
}

// The plane cuts the data, never the panel: closed, its button row stays.
TEST(PictureEndToEnd, TheClippingPlaneLeavesTheClosedPanelWhole) {
    TempDir dir;
    const std::string data = writeVolume(dir, "v.raw", [](int x, int, int) { return 30 + 12 * x; });
    Viewer app({data, "--size", "16x16x16"}, {}, SKOREL_OPEN_BINARY);
    ASSERT_TRUE(app.waitForWindow()) << app.why();
    Box menu = panelLayout().menuButton->box();
    const auto face = [&](const Image& i) {
        const unsigned char* p = i.at(menu.x + 2, pointY(menu)); // grey, left of the text
        return p[0] == p[1] && p[1] == p[2] && p[0] > 60 && p[0] < 90;
    };
    app.waitForPicture(face); // the panel takes clicks from the frame that shows it
    app.click(menu);          // closed: the buttons move to the bottom row
    menu.y = 20;
    const Image closed = app.waitForPicture(face);
    app.key("c");
    const Image cut = app.waitForPicture(
        [&](const Image& i) { return i.at(320, 240)[1] != closed.at(320, 240)[1]; });
    for (int y = 480 - menu.y - menu.height; y < 480 - menu.y; ++y) // Menu, Infos and Exit
        for (int x = menu.x; x < menu.x + 150; ++x)
            ASSERT_EQ(std::vector<unsigned char>(cut.at(x, y), cut.at(x, y) + 3),
                      std::vector<unsigned char>(closed.at(x, y), closed.at(x, y) + 3))
                << x << ", " << y;
    EXPECT_EQ(app.quit().status, 0);
}

// A movie of 4 frames turns once about the vertical: its first frame is the
// batch picture from the front, its second the one turned a quarter.
TEST(PictureEndToEnd, AMovieTurnsOnceAboutTheVertical) {
    TempDir dir;
    const std::string data =
        writeVolume(dir, "v.raw", [](int x, int, int z) { return 30 + 12 * x + (z > 8) * 40; });
    const ExitResult r = Viewer({data, "--size", "16x16x16", "--movie", dir / "m", "--frames", "4"},
                                {}, SKOREL_OPEN_BINARY)
                             .wait();
    EXPECT_EQ(r.out.substr(r.out.find("Saved")),
              "Saved 4 frames in " + dir / "m" + "; a video of them:\nffmpeg -framerate 24 -i '" +
                  dir / "m" + "/frame-%04d.png' -pix_fmt yuv420p '" + dir / "m" + ".mp4'\n");
    for (const char* view : {"0,0", "90,0"}) {
        const Image still = shot(dir, data, "slices = 80\n", {"--view", view}).second;
        const std::string frame =
            dir / "m" + (view[0] == '0' ? "/frame-0001.png" : "/frame-0002.png");
        EXPECT_TRUE(readPng(frame).rgb == still.rgb && !still.rgb.empty()) << view;
    }
}

// A green block of one value through the whole depth, faint enough not to
// saturate (nearest filter: no colours of the border's blend): corrected, 40,
// 80 and 200 slices give the centre the same green within 2 levels; as it is,
// the slice count shows. Fainter slices than these lose their alpha to the
// 8-bit framebuffer (about 1 / 255 a slice).
TEST(PictureEndToEnd, CorrectedOpacityHoldsAcrossSliceCounts) {
    TempDir dir;
    const std::string block = writeVolume(dir, "block.raw", [](int, int, int) { return 100; });
    for (const char* correction : {"on", "off"}) {
        std::vector<int> greens;
        for (int slices : {40, 80, 200}) {
            const auto [status, image] =
                shot(dir, block,
                     "window = 0 255\nfilter = nearest\nintensity = 0.05\nopacity-correction = " +
                         std::string(correction) + "\nslices = " + std::to_string(slices) + "\n");
            ASSERT_EQ(status, 0);
            greens.push_back(image.at(320, 240)[1]);
        }
        const auto [low, high] = std::minmax_element(greens.begin(), greens.end());
        if (correction == std::string("on"))
            EXPECT_LE(*high - *low, 2) << greens[0] << " " << greens[1] << " " << greens[2];
        else
            EXPECT_TRUE(greens[0] + 20 < greens[1] && greens[1] + 20 < greens[2])
                << greens[0] << " " << greens[1] << " " << greens[2];
    }
}

// The README's picture: the same command gives the same file, byte for byte.
TEST(PictureEndToEnd, BatchPicturesOfTheMriHeadRepeatExactly) {
    const std::string head = "/usr/share/mricron/templates/ch2.nii.gz";
    if (!std::ifstream(head)) GTEST_SKIP() << "mricron-data is not installed";
    TempDir dir;
    std::string files[2];
    for (int i = 0; i < 2; ++i) {
        const std::string out = dir / std::to_string(i) + ".png";
        const ExitResult r =
            Viewer({head, "--settings", SKOREL_SOURCE_DIR "/docs/head.skorel", "--view", "-60,20",
                    "--zoom", "1.5", "--picture-size", "400x360", "--screenshot", out},
                   {}, SKOREL_OPEN_BINARY)
                .wait();
        EXPECT_EQ(std::make_tuple(r.status, r.err, r.out.substr(r.out.rfind("Saved"))),
                  std::make_tuple(0, std::string(), "Saved " + out + "\n"));
        std::ifstream in(out, std::ios::binary);
        files[i].assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_TRUE(files[0] == files[1] && files[0].size() > 10000) << files[0].size();
}
