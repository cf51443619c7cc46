// The installer of the module as an administrator runs it (/S), in a Wine prefix of the test's own
// (InOwnWinePrefix.sh): where the module and its notices go, the entry in the installed programs, the
// user's choice of screensaver, the installed module running, and what the uninstaller takes back and
// what it keeps.
#include "win32/ModuleRuns.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

namespace Halcyra {
namespace {

using namespace Testing;

constexpr const char *UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HalcyraScreensaver";
constexpr const char *DesktopKey = "Control Panel\\Desktop";

std::string InstallerPath()
{
    return (std::filesystem::path(ModulePath()).parent_path() / HALCYRA_INSTALLER_NAME).string();
}

std::string SystemFolder()
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string InstalledModule()
{
    return SystemFolder() + "\\HalcyraScreensaver.scr";
}

std::string FileBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A value of the registry, in the given view of a 64-bit system; nothing when the key or the value
// is missing.
std::optional<std::string> RegistryText(HKEY root, const char *key, const char *name, REGSAM view = 0)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    char value[1024] = {};
    DWORD size = sizeof value;
    const LSTATUS status = RegGetValueA(opened, nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(value);
}

std::optional<DWORD> RegistryNumber(HKEY root, const char *key, const char *name)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool KeyExists(HKEY root, const char *key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void SetDesktopText(const char *name, const std::string &value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, DesktopKey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void DeleteDesktopValue(const char *name)
{
    RegDeleteKeyValueA(HKEY_CURRENT_USER, DesktopKey, name);
}

// Runs a program and waits until it and every process it started have ended: the uninstaller hands
// its work to a copy of itself and ends at once. Its own exit code, or -1 when it could not start or
// did not end (a safety bound, not a budget).
long RunToTheEnd(const std::string &commandLine)
{
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job, port};
    SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association, sizeof association);

    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    long code = -1;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                       &process)) {
        AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        bool allEnded = false;
        while (!allEnded && GetQueuedCompletionStatus(port, &message, &key, &detail, 60000))
            allEnded = message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO;
        DWORD exitCode = 0;
        if (allEnded && GetExitCodeProcess(process.hProcess, &exitCode))
            code = static_cast<long>(exitCode);
        else
            TerminateJobObject(job, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(port);
    CloseHandle(job);
    return code;
}

long Install()
{
    std::string commandLine = "\"";
    commandLine.append(InstallerPath()).append("\" /S");
    return RunToTheEnd(commandLine);
}

// Uninstalls the way "Apps" does it silently: the entry's own command with /S.
long Uninstall()
{
    const std::optional<std::string> command = RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString");
    return command ? RunToTheEnd(*command + " /S") : -1;
}

TEST(WindowsInstaller, InstallsTheCurrentScreensaverThatRunsAndUninstallsAllButTheUsersSettings)
{
    TSaverSettings settings({{"Brightness", 200}}, {});
    SetDesktopText("ScreenSaveActive", "0");
    DeleteDesktopValue("SCRNSAVE.EXE");
    ASSERT_EQ(Install(), 0);

    // The real system folder, where the display settings look, not the 32-bit programs' redirect.
    const std::string module = InstalledModule();
    EXPECT_EQ(FileBytes(module), FileBytes(ModulePath())) << module;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(SystemFolder()).parent_path() / "SysWOW64" /
                                         "HalcyraScreensaver.scr"));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName"), "Halcyra Screensaver");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "Publisher"), "Tessaly Software");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayVersion"), HALCYRA_VERSION);
    const auto size = RegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "EstimatedSize");
    ASSERT_TRUE(size.has_value());
    EXPECT_GE(*size, std::filesystem::file_size(module) / 1024) << "in KiB";
    const std::optional<std::string> uninstaller = RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString");
    ASSERT_TRUE(uninstaller.has_value());
    ASSERT_GE(uninstaller->size(), 2u);
    const std::filesystem::path uninstallerPath = uninstaller->substr(1, uninstaller->size() - 2);
    EXPECT_TRUE(std::filesystem::exists(uninstallerPath)) << *uninstaller;
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "QuietUninstallString"), *uninstaller + " /S");
    // The notices of the libraries linked into the module, whole, beside its licence.
    const std::filesystem::path notices = uninstallerPath.parent_path() / "THIRD-PARTY-NOTICES.txt";
    const std::string installedNotices = FileBytes(notices.string());
    EXPECT_NE(installedNotices.find("This software is based in part on the work of the Independent JPEG Group."),
              std::string::npos);
    EXPECT_EQ(installedNotices, FileBytes(std::string("Z:") + HALCYRA_NOTICES_FILE));
    EXPECT_FALSE(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName", KEY_WOW64_32KEY))
        << "the entry is in the 32-bit programs' view";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, DesktopKey, "SCRNSAVE.EXE"), module);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, DesktopKey, "ScreenSaveActive"), "1");

    // The installed module runs the scene as the system starts it, and Esc ends it with 0.
    const Imaging::TPicture background = ModulePicture("QIM1");
    ASSERT_FALSE(background.Empty());
    TStartedProgram saver = StartProgram(module, "/s");
    ASSERT_TRUE(saver.Started);
    EXPECT_TRUE(ScreenShows(20, 20, AsColorRef(background.Bitmap()->GetPixel(20, 20))));
    PressEscape();
    EXPECT_EQ(FinishModule(saver), 0);

    ASSERT_EQ(Uninstall(), 0);
    EXPECT_FALSE(std::filesystem::exists(module));
    EXPECT_FALSE(std::filesystem::exists(notices));
    EXPECT_FALSE(std::filesystem::exists(uninstallerPath.parent_path())) << uninstallerPath.parent_path();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_FALSE(RegistryText(HKEY_CURRENT_USER, DesktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ(RegistryNumber(HKEY_CURRENT_USER, SettingsKey, "Brightness"), 200u) << "the user's settings are kept";
}

// The files Windows deletes or renames when it next starts, each as its own text.
std::string PendingFileOperations()
{
    std::string names(32768, '\0');
    DWORD size = static_cast<DWORD>(names.size());
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                     "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, names.data(), &size) != ERROR_SUCCESS)
        return {};
    names.resize(size);
    return names;
}

TEST(WindowsInstaller, UninstallWhileTheModuleRunsLeavesItToTheNextStartOfWindows)
{
    ASSERT_EQ(Install(), 0);
    TStartedProgram dialog = StartProgram(InstalledModule(), "/c");
    ASSERT_TRUE(dialog.Started);
    EXPECT_EQ(Uninstall(), 0);
    TerminateProcess(dialog.Process.hProcess, 0);
    FinishModule(dialog);
    EXPECT_NE(PendingFileOperations().find(InstalledModule()), std::string::npos) << "not deleted at the next start";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    // The next test installs into a system folder without it.
    DeleteFileA(InstalledModule().c_str());
}

std::string InCapitals(std::string text)
{
    CharUpperA(text.data());
    return text;
}

std::string ShortPath(const std::string &path)
{
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return shortPath;
}

// The uninstaller clears the user's choice only when it names this screensaver, however it is spelt.
TEST(WindowsInstaller, UninstallClearsTheChoiceOnlyWhenItIsThisScreensaver)
{
    struct TCase {
        const char *Name;
        std::function<std::string()> Choice;
        bool Cleared;
    };
    const TCase cases[] = {
        {"the long path in capitals", [] { return InCapitals(InstalledModule()); }, true},
        {"the short path", [] { return ShortPath(InstalledModule()); }, true},
        {"another screensaver", [] { return SystemFolder() + "\\Ribbons.scr"; }, false},
    };
    for (const TCase &test : cases) {
        ASSERT_EQ(Install(), 0) << test.Name;
        const std::string choice = test.Choice();
        ASSERT_NE(choice, InstalledModule()) << test.Name;
        SetDesktopText("SCRNSAVE.EXE", choice);
        ASSERT_EQ(Uninstall(), 0) << test.Name;
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, DesktopKey, "SCRNSAVE.EXE"),
                  test.Cleared ? std::nullopt : std::optional<std::string>(choice))
            << test.Name << ": " << choice;
    }
}

} // namespace
} // namespace Halcyra
