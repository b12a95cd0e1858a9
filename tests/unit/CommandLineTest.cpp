// The command line, the size check, extension names and the report buffer.
#include "app/Application.h"
#include "app/TextBuffer.h"
#include "platform/Extensions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(CommandLine, CountsNumbersAndSampleSizes) {
    const struct {
        std::vector<const char*> args;
        bool parsed;
        int width, height, depth;
        bool eightBit;
    } rows[] = {
        {{}, true, 64, 64, 64, true},
        {{"f", "100", "abc", "-3", "16"}, true, 100, 0, -3, false},
        {{"f", "1", "1", "1", "8.0x"}, true, 1, 1, 1, true}, // read as atoi reads it
        {{"f", "1", "1", "1", "x"}, true, 1, 1, 1, false},
        {{"f", "4294967297", "-99999999999", "99999999999999999999", "4294967304"},
         true,
         2147483647,
         -2147483647 - 1,
         2147483647,
         false}, // saturate, never wrap
        {{"f"}, false, 0, 0, 0, false},
        {{"f", "8", "8", "8"}, false, 0, 0, 0, false},
        {{"f", "8", "8", "8", "8", "8"}, false, 0, 0, 0, false},
    };
    for (const auto& row : rows) {
        std::vector<const char*> argv = {"skorel"};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        CommandLine line;
        line.fileName = "unchanged";
        ASSERT_EQ(parseCommandLine(int(argv.size()), argv.data(), line), row.parsed)
            << argv.size() - 1 << " arguments";
        if (!row.parsed) continue;
        EXPECT_EQ(line.fileName, row.args.empty() ? "data/neghip.raw" : "f");
        EXPECT_EQ(line.width, row.width);
        EXPECT_EQ(line.height, row.height);
        EXPECT_EQ(line.depth, row.depth);
        EXPECT_EQ(line.eightBit, row.eightBit) << row.args.size();
    }
}

TEST(CommandLine, SizesThatDoNotFitAreRefusedWithTheAxisNamed) {
    const struct {
        int width, height, depth, maxTexture;
        std::string problem;
    } rows[] = {
        {1024, 0, 1, 1024, ""}, // 0 pads to 2: an empty volume, not an error
        {8, 1025, 8, 2048, "Error: volume height 1025 is out of range (0 to 1024 voxels)"},
        {8, 8, -1, 2048, "Error: volume depth -1 is out of range (0 to 1024 voxels)"},
        {2147483647, 8, 8, 2048,
         "Error: volume width 2147483647 is out of range (0 to 1024 voxels)"},
        {8, 8, 300, 256,
         "Error: volume depth 300 pads to 512, above this driver's largest 3D texture (256)"},
        {8, 8, 300, 512, ""},
    };
    for (const auto& row : rows) {
        CommandLine line;
        line.width = row.width, line.height = row.height, line.depth = row.depth;
        EXPECT_EQ(sizeProblem(line, row.maxTexture), row.problem);
    }
}

TEST(HasExtension, MatchesWholeNamesOnly) {
    const char* both = "GL_EXT_texture3D GL_EXT_paletted_texture";
    const struct {
        const char* list;
        const char* name;
        bool found;
    } rows[] = {
        {both, "GL_EXT_texture3D", true},
        {both, "GL_EXT_paletted_texture", true},
        {both, "GL_EXT_texture", false},
        {both, "texture3D", false},
        {both, "EXT_paletted_texture", false},
        {"GL_EXT_texture3Dx GL_EXT_texture3D", "GL_EXT_texture3D", true},
        {"XGL_EXT_texture3D", "GL_EXT_texture3D", false},
        {nullptr, "GL_EXT_texture3D", false},
        {"", "GL_EXT_texture3D", false},
        {"GL_EXT_texture3D", "", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(hasExtension(row.list, row.name), row.found) << row.name;
}

TEST(TextBuffer, GrowsBeforeTheTerminatorWouldFillTheBlock) {
    TextBuffer b;
    EXPECT_EQ(b.capacity(), 32u);
    const std::string thirty(30, 'a'), long200(200, 'z');
    b.append(thirty.c_str());
    EXPECT_EQ(b.capacity(), 32u);
    b.append("b");
    EXPECT_EQ(b.capacity(), 64u);
    EXPECT_EQ(std::string(b.text()), thirty + "b");
    b.assign(long200.c_str(), 200);
    b.append("xyz", 2);
    EXPECT_EQ(b.capacity(), 256u);
    EXPECT_EQ(std::string(b.text()), long200 + "xy");

    TextBuffer middle;
    middle.append("GL_EXT_texture3D\n");
    const TextBuffer text = ("head\n" + middle) + "tail";
    EXPECT_STREQ(text.text(), "head\nGL_EXT_texture3D\ntail");
    EXPECT_EQ(text.length(), 26u);
    EXPECT_STREQ(middle.text(), "GL_EXT_texture3D\n"); // operands stay as they were
}
