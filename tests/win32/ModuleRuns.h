// The Windows module started as a host starts it, for the tests that run the program itself: its
// settings key, the program started and finished, the screen it draws on and the keys it is sent.
#pragma once

#include "imaging/Picture.h"
#include "platform/Resources.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <utility>

namespace Halcyra::Testing {

// A module of the build folder, beside the test program's folder: the .scr people run unless named.
inline std::string ModulePath(const char *module = "HalcyraScreensaver.scr")
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return (std::filesystem::path(path).parent_path().parent_path() / module).string();
}

struct TStartedProgram {
    PROCESS_INFORMATION Process{};
    bool Started = false;
};

inline TStartedProgram StartProgram(const std::string &path, const std::string &arguments)
{
    // Appended piece by piece: GCC 12 warns falsely about the temporaries of one long sum here.
    std::string commandLine = "\"";
    commandLine.append(path).append("\" ").append(arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    TStartedProgram program;
    program.Started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &program.Process) != 0;
    return program;
}

inline TStartedProgram StartModule(const std::string &arguments, const std::string &module = ModulePath())
{
    return StartProgram(module, arguments);
}

// Waits for the program to end (a safety bound, not a budget); its exit code, or -1 when it did not end.
inline long FinishModule(TStartedProgram &program)
{
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(program.Process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(program.Process.hProcess, &code);
    else
        TerminateProcess(program.Process.hProcess, 99);
    CloseHandle(program.Process.hThread);
    CloseHandle(program.Process.hProcess);
    return static_cast<long>(code);
}

inline constexpr const char *SettingsKey = "SOFTWARE\\Tessaly Software\\Halcyra Screensaver";

// The product's own settings key of this (private) prefix, written before the run and removed after.
class TSaverSettings {
public:
    TSaverSettings(std::initializer_list<std::pair<const char *, DWORD>> numbers,
                   std::initializer_list<std::pair<const char *, std::string>> texts)
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey);
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        const auto number = [&](const char *name, DWORD value) {
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
        };
        const auto text = [&](const char *name, const std::string &value) {
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()), static_cast<DWORD>(value.size() + 1));
        };
        number("Brightness", 256);
        number("SoundVolume", 0);
        text("TDegree", "f");
        text("WeatherCode", "20001");
        text("RSS_Url", "http://news.example/rss/world.xml");
        for (const char *name : {"ShowTime", "ShowWeather", "ShowNews", "ShowBlack", "UseProxy"})
            number(name, 0);
        text("Proxy", "");
        text("Port", "");
        for (const auto &[name, value] : numbers)
            number(name, value);
        for (const auto &[name, value] : texts)
            text(name, value);
        RegCloseKey(key);
    }
    ~TSaverSettings() { RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey); }
};

inline COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// The picture's colour as GetPixel reports it.
inline COLORREF AsColorRef(std::uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Waits until the screen shows the colour at (x, y); a safety bound, not a budget.
inline bool ScreenShows(int x, int y, COLORREF colour)
{
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (ScreenPixel(x, y) == colour)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

inline Imaging::TPicture ModulePicture(const char *name)
{
    const auto stored = Platform::ModuleResources().Find(Platform::ResourceTypeData, name);
    auto load = stored ? Imaging::TPicture::FromStored(*stored) : Imaging::TPictureLoad{};
    return load.Picture ? *load.Picture : Imaging::TPicture{};
}

inline void PressKey(WORD key)
{
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = key;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

inline void PressEscape() { PressKey(VK_ESCAPE); }

} // namespace Halcyra::Testing
