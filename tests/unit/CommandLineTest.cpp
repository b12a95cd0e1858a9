// The command line, the size check and extension names.
#include "app/Application.h"
#include "platform/Extensions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(CommandLine, CountsNumbersSampleSizesAndSizeProblems) {
    const struct {
        std::vector<const char*> args;
        bool parsed;
        int width = 0, height = 0, depth = 0;
        bool eightBit = false;
        std::string problem = ""; // with the driver's largest 3D texture at 512
    } rows[] = {
        // clang-format off
        {{}, true, 64, 64, 64, true, ""},
        {{"f", "100", "abc", "-3", "16"}, true, 100, 0, -3, false,
         "Error: volume depth -3 is out of range (0 to 1024 voxels)"},
        {{"f", "1", "1025", "1", "8.0x"}, true, 1, 1025, 1, true, // read as atoi reads it
         "Error: volume height 1025 is out of range (0 to 1024 voxels)"},
        {{"f", "513", "0", "300", "x"}, true, 513, 0, 300, false,
         "Error: volume width 513 pads to 1024, above this driver's largest 3D texture (512)"},
        {{"f", "4294967297", "-99999999999", "99999999999999999999", "4294967304"}, true,
         2147483647, -2147483647 - 1, 2147483647, false, // saturate, never wrap
         "Error: volume width 2147483647 is out of range (0 to 1024 voxels)"},
        {{"f", "512", "0", "300", "8"}, true, 512, 0, 300, true, ""}, // 0 pads to 2
        {{"f"}, false}, {{"f", "8", "8", "8"}, false}, {{"f", "8", "8", "8", "8", "8"}, false},
        // clang-format on
    };
    for (const auto& row : rows) {
        std::vector<const char*> argv = {"skorel"};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        CommandLine line;
        ASSERT_EQ(parseCommandLine(int(argv.size()), argv.data(), line), row.parsed)
            << argv.size() - 1 << " arguments";
        if (!row.parsed) continue;
        EXPECT_EQ(line.fileName, row.args.empty() ? "data/neghip.raw" : "f");
        EXPECT_EQ(std::vector<int>({line.width, line.height, line.depth, line.eightBit}),
                  std::vector<int>({row.width, row.height, row.depth, row.eightBit}));
        EXPECT_EQ(sizeProblem(line, 512), row.problem);
    }
}

TEST(HasExtension, MatchesWholeNamesOnly) {
    const char* list = "GL_EXT_texture3Dx GL_EXT_texture3D GL_EXT_paletted_texture";
    for (const char* name : {"GL_EXT_texture3D", "GL_EXT_paletted_texture"})
        EXPECT_TRUE(hasExtension(list, name)) << name;
    for (const char* name :
         {"GL_EXT_texture", "texture3D", "EXT_paletted_texture", "", "XGL_EXT_texture3D"})
        EXPECT_FALSE(hasExtension(list, name)) << name;
    EXPECT_FALSE(hasExtension(nullptr, "GL_EXT_texture3D"));
}
