#include "platform/Extensions.h"
#include "app/Application.h"
#include "app/TextBuffer.h"

#include <gtest/gtest.h>
#include <string>

TEST(HasExtension, MatchesWholeNamesOnly) {
    const char* both = "GL_EXT_texture3D GL_EXT_paletted_texture";
    EXPECT_TRUE(hasExtension(both, "GL_EXT_texture3D"));
    EXPECT_TRUE(hasExtension(both, "GL_EXT_paletted_texture")); // last name, ends the string
    EXPECT_FALSE(hasExtension(both, "GL_EXT_blend_color"));
    EXPECT_FALSE(hasExtension(both, "GL_EXT_texture")); // head of a longer name
    EXPECT_FALSE(hasExtension(both, "texture3D"));      // tail of a longer name
    EXPECT_FALSE(hasExtension(both, "EXT_paletted_texture"));
    EXPECT_TRUE(hasExtension("GL_EXT_texture3Dx GL_EXT_texture3D", "GL_EXT_texture3D"));
    EXPECT_TRUE(hasExtension("GL_ARB_a GL_EXT_texture3D GL_ARB_b", "GL_EXT_texture3D"));
    EXPECT_FALSE(hasExtension("XGL_EXT_texture3D", "GL_EXT_texture3D"));
    EXPECT_FALSE(hasExtension(nullptr, "GL_EXT_texture3D"));
    EXPECT_FALSE(hasExtension("", "GL_EXT_texture3D"));
    EXPECT_FALSE(hasExtension("GL_EXT_texture3D", ""));
}

TEST(TextBuffer, GrowsWhenTextAndTerminatorWouldFillTheBlock) {
    TextBuffer empty;
    EXPECT_EQ(empty.capacity(), 32u);
    EXPECT_STREQ(empty.text(), "");

    TextBuffer b;
    const std::string thirty(30, 'a');
    b.append(thirty.c_str());
    EXPECT_EQ(b.capacity(), 32u);
    b.append("b");
    EXPECT_EQ(b.length(), 31u);
    EXPECT_EQ(b.capacity(), 64u);
    EXPECT_EQ(std::string(b.text()), thirty + "b");

    const std::string long200(200, 'z');
    b.assign(long200.c_str(), 200);
    EXPECT_EQ(b.capacity(), 256u);
    EXPECT_EQ(std::string(b.text()), long200);
    b.append("xyz", 2);
    EXPECT_EQ(std::string(b.text()), long200 + "xy");
}

TEST(TextBuffer, ConcatenationsLeaveTheirOperandsAlone) {
    TextBuffer middle;
    middle.append("GL_EXT_texture3D\n");
    const TextBuffer text = ("head\n" + middle) + "tail";
    EXPECT_STREQ(text.text(), "head\nGL_EXT_texture3D\ntail");
    EXPECT_EQ(text.length(), 26u);
    EXPECT_STREQ(middle.text(), "GL_EXT_texture3D\n");
    const TextBuffer copy = middle + "";
    EXPECT_STREQ(copy.text(), middle.text());
}

TEST(CommandLine, CountsAndValues) {
    CommandLine line;
    const char* none[] = {"skorel"};
    ASSERT_TRUE(parseCommandLine(1, none, line));
    EXPECT_EQ(line.fileName, "data/neghip.raw");
    EXPECT_EQ(line.width, 64);
    EXPECT_TRUE(line.eightBit);

    const char* five[] = {"skorel", "f.raw", "100", "abc", "-3", "16"};
    ASSERT_TRUE(parseCommandLine(6, five, line));
    EXPECT_EQ(line.fileName, "f.raw");
    EXPECT_EQ(line.width, 100);
    EXPECT_EQ(line.height, 0); // not a number
    EXPECT_EQ(line.depth, -3);
    EXPECT_FALSE(line.eightBit);
    for (const char* bits : {"12", "0", "x", "8.0x"}) {
        const char* args[] = {"skorel", "f", "1", "1", "1", bits};
        ASSERT_TRUE(parseCommandLine(6, args, line));
        EXPECT_EQ(line.eightBit, std::string(bits) == "8.0x") << bits; // atoi("8.0x") is 8
    }
    for (int count : {0, 2, 3, 4, 5, 7})
        EXPECT_FALSE(parseCommandLine(count, five, line)) << count;
}

TEST(CommandLine, SizesAboveTheTextureLimitAreRefusedWithTheAxisNamed) {
    CommandLine line;
    EXPECT_EQ(sizeProblem(line, 1024), "");
    line.height = 1025;
    EXPECT_NE(sizeProblem(line, 2048).find("height 1025"), std::string::npos);
    line.height = -1;
    EXPECT_NE(sizeProblem(line, 2048).find("height -1"), std::string::npos);
    line.height = 0; // pads to 2: an empty volume, not an error
    EXPECT_EQ(sizeProblem(line, 1024), "");
    line.depth = 300;
    EXPECT_NE(sizeProblem(line, 256).find("depth 300 pads to 512"), std::string::npos);
    EXPECT_EQ(sizeProblem(line, 512), "");
}
