// Entry of the Windows test program: child scenarios first, then GoogleTest.
#include <gtest/gtest.h>

namespace rt {
void RunChildScenarioIfAsked(int argc, char** argv);
}

int main(int argc, char** argv) {
    rt::RunChildScenarioIfAsked(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
