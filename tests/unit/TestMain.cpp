#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a test source that goes away must not end the run
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
