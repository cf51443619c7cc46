// The Windows module started as a host starts it, for the tests that run the program itself.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace Halcyra::Testing {

// A module of the build folder, beside the test program's folder: the .scr people run unless named.
inline std::string ModulePath(const char *module = "HalcyraScreensaver.scr")
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return (std::filesystem::path(path).parent_path().parent_path() / module).string();
}

// The same module built to ask the forecast service over plain HTTP, for the tests that serve it.
inline std::string PlainWeatherModulePath() { return ModulePath("HalcyraScreensaverPlainWeather.scr"); }

struct TStartedProgram {
    PROCESS_INFORMATION Process{};
    bool Started = false;
};

inline TStartedProgram StartModule(const std::string &arguments, const std::string &module = ModulePath())
{
    // Appended piece by piece: GCC 12 warns falsely about the temporaries of one long sum here.
    std::string commandLine = "\"";
    commandLine.append(module).append("\" ").append(arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    TStartedProgram program;
    program.Started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &program.Process) != 0;
    return program;
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

} // namespace Halcyra::Testing
