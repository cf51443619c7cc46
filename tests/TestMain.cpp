// Entry point of the test program: GoogleTest with the platform's test set-up. Started with
// "--print-locale-time HOUR MINUTE" it prints the clock's locale text for that time instead, so that
// tests can run it again in a locale of their choice.
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char **argv)
{
    if (argc == 4 && std::string_view(argv[1]) == "--print-locale-time") {
        const Halcyra::Platform::TLocalTime time{2014, 3, 1, std::atoi(argv[2]), std::atoi(argv[3]), 0, 0};
        const Halcyra::Platform::TTimeText text = Halcyra::Platform::SystemClock().LocaleTimeText(time);
        std::fwrite(text.Bytes.data(), 1, text.Length, stdout);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
