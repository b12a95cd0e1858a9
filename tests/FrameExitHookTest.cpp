// SKOREL_EXIT_AFTER_FRAMES, the hook that start-up timing relies on: the
// viewer draws that many frames, says so after the last swap, and exits 0.
#include "EndToEnd.h"

#include <gtest/gtest.h>

TEST(FrameExitHook, EndsAfterTheGivenFrameWithOneLine) {
    XServer server;
    SkorelProcess viewer(server, {}, {"SKOREL_EXIT_AFTER_FRAMES=3"});
    const ExitResult r = viewer.wait(60);
    ASSERT_TRUE(r.exited) << r.err;
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Loading volume"), std::string::npos);
    const size_t line = r.out.find("Swapped frame 3\n");
    ASSERT_NE(line, std::string::npos) << r.out;
    EXPECT_EQ(line + 16, r.out.size()); // the last line: nothing is drawn after it
    EXPECT_EQ(r.out.find("Swapped frame 2"), std::string::npos);
}
