// A stand-in for xdg-open, for the tests of the pages the program hands to the browser: a script in
// a folder of its own, to be put first on PATH, that writes each argument it got on a line of its own.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

namespace Halcyra::Testing {

class TFakeOpener {
public:
    TFakeOpener() : FFolder(std::filesystem::temp_directory_path() / ("halcyra-browser-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(FFolder);
        std::ofstream(FFolder / "xdg-open") << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n";
        std::filesystem::permissions(FFolder / "xdg-open", std::filesystem::perms::owner_all);
    }
    ~TFakeOpener() { std::filesystem::remove_all(FFolder); }
    TFakeOpener(const TFakeOpener &) = delete;
    TFakeOpener &operator=(const TFakeOpener &) = delete;

    // The value of PATH with the stand-in's folder first.
    std::string SearchPath() const
    {
        const char *path = std::getenv("PATH");
        return FFolder.string() + ":" + (path != nullptr ? path : "");
    }
    bool Called() const { return std::filesystem::exists(FFolder / "xdg-open.args"); }
    // What the opener received; waits for it to have written (a safety bound, not a budget).
    std::string Received() const
    {
        for (int i = 0; i < 200 && !Called(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream stream(FFolder / "xdg-open.args");
        return std::string(std::istreambuf_iterator<char>(stream), {});
    }

private:
    std::filesystem::path FFolder;
};

} // namespace Halcyra::Testing
