// The Windows module and its backends on a real Windows API (Wine in our runs): the registry values
// as Windows keeps them, the module's resources, foreign windows, MPR.DLL, and the .scr started as a
// host starts it, its message boxes read and closed through the window system.
#include "engine/SettingsStore.h"
#include "imaging/BmpDecoder.h"
#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/ForeignWindow.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/WebBrowser.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace Halcyra {
namespace {

std::string ModulePath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return (std::filesystem::path(path).parent_path().parent_path() / "HalcyraScreensaver.scr").string();
}

struct TStartedProgram {
    PROCESS_INFORMATION Process{};
    bool Started = false;
};

TStartedProgram StartModule(const std::string &arguments)
{
    std::string commandLine = "\"" + ModulePath() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    TStartedProgram program;
    program.Started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &program.Process) != 0;
    return program;
}

// Waits for the program to end (a safety bound, not a budget); its exit code, or -1 when it did not end.
long FinishModule(TStartedProgram &program)
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

struct TFoundBox {
    DWORD Process;
    HWND Window = nullptr;
};

// The message box the program shows, found by its dialog class and owner process.
HWND FindMessageBox(DWORD process)
{
    for (int attempt = 0; attempt < 600; ++attempt) {
        TFoundBox found{process};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto *box = reinterpret_cast<TFoundBox *>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                char className[64] = {};
                GetClassNameA(window, className, sizeof className);
                // The dialog exists a moment before its text does; only a shown box with its text counts.
                if (owner == box->Process && std::string(className) == "#32770" && IsWindowVisible(window) &&
                    GetWindowTextLengthA(GetDlgItem(window, 0xFFFF)) > 0) {
                    box->Window = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found.Window != nullptr)
            return found.Window;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

std::string TextOfBox(HWND box)
{
    char text[512] = {};
    // The message box keeps its text in the static control 0xFFFF.
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

std::string CaptionOf(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST(WindowsModule, IsAGuiProgramCarryingItsPreviewBitmap)
{
    HMODULE module = LoadLibraryExA(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << ModulePath();
    EXPECT_NE(FindResourceA(module, "PREVIEWBMP", MAKEINTRESOURCEA(2)), nullptr);
    FreeLibrary(module);
}

TEST(WindowsModule, PreviewWithABadHandleShowsTheConversionErrorAndExitsZero)
{
    for (const char *arguments : {"/p abc", "/p"}) {
        TStartedProgram program = StartModule(arguments);
        ASSERT_TRUE(program.Started);
        HWND box = FindMessageBox(program.Process.dwProcessId);
        ASSERT_NE(box, nullptr) << "no message box for " << arguments;
        const std::string expected = std::string(arguments) == "/p" ? "''" : "'abc'";
        EXPECT_EQ(TextOfBox(box), expected + " is not a valid integer value.");
        EXPECT_EQ(CaptionOf(box), "HalcyraScreensaver");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(FinishModule(program), 0);
    }
}

TEST(WindowsModule, PasswordModeCallsTheSystemsPasswordChangeAndExitsZero)
{
    // Wine's MPR.DLL returns from PwdChangePasswordA at once, without a dialog.
    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    TStartedProgram program = StartModule("/a " + std::to_string(reinterpret_cast<std::uintptr_t>(parent)));
    ASSERT_TRUE(program.Started);
    EXPECT_EQ(FinishModule(program), 0);
    DestroyWindow(parent);
}

TEST(WindowsModule, PreviewOfAWindowThatIsGoneEndsAtOnce)
{
    HWND window = CreateWindowExA(0, "STATIC", "gone", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    const std::string handle = std::to_string(reinterpret_cast<std::uintptr_t>(window));
    DestroyWindow(window);
    TStartedProgram program = StartModule("/p " + handle);
    ASSERT_TRUE(program.Started);
    EXPECT_EQ(FinishModule(program), 0);
}

TEST(WindowsBackends, TheMprLibraryAndItsPasswordFunctionAreFound)
{
    auto library = Platform::SystemLibraries().Load("MPR.DLL");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(library->Symbol("PwdChangePasswordA"), nullptr);
    EXPECT_EQ(library->Symbol("NoSuchFunctionAnywhere"), nullptr);
    EXPECT_EQ(Platform::SystemLibraries().Load("NOSUCHLIBRARY.DLL"), nullptr);
}

TEST(WindowsBackends, TheEmbeddedPreviewBitmapDecodes)
{
    auto dib = Platform::ModuleResources().Find(Platform::ResourceTypeBitmap, "PREVIEWBMP");
    ASSERT_TRUE(dib);
    auto picture = Imaging::DecodeDib(*dib);
    ASSERT_TRUE(picture.Bitmap) << picture.Error;
    EXPECT_EQ(picture.Bitmap->Width(), 154);
    EXPECT_EQ(picture.Bitmap->Height(), 116);
    EXPECT_FALSE(Platform::ModuleResources().Find(Platform::ResourceTypeBitmap, "NOSUCHBITMAP"));
}

TEST(WindowsBackends, ForeignWindowsReportTheirStateAndAreDrawnInto)
{
    auto &windows = Platform::DesktopWindows();
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP, 0, 0, 160, 120, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const auto handle = reinterpret_cast<Platform::TWindowHandle>(window);
    EXPECT_EQ(windows.State(handle), Platform::TForeignWindowState::Hidden);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    EXPECT_EQ(windows.State(handle), Platform::TForeignWindowState::Visible);

    auto bitmap = Imaging::TBitmap32::Create(154, 116);
    ASSERT_TRUE(bitmap);
    for (int y = 0; y < 116; ++y)
        for (int x = 0; x < 154; ++x)
            bitmap->SetPixel(x, y, x < 77 ? 0xFF0000 : 0x0000FF);
    EXPECT_TRUE(windows.DrawBitmap(handle, *bitmap));
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0xFF, 0, 0));
    EXPECT_EQ(GetPixel(dc, 150, 100), RGB(0, 0, 0xFF));
    ReleaseDC(window, dc);

    DestroyWindow(window);
    EXPECT_EQ(windows.State(handle), Platform::TForeignWindowState::Gone);
}

TEST(WindowsBackends, TheLocaleTimeTextHasNoSeconds)
{
    Platform::TLocalTime time{2026, 12, 7, 14, 5, 33, 0};
    const Platform::TTimeText timeText = Platform::SystemClock().LocaleTimeText(time);
    const std::string text(timeText.View());
    EXPECT_NE(text.find("05"), std::string::npos) << text;
    EXPECT_EQ(text.find("33"), std::string::npos) << text;
    const Platform::TLocalTime now = Platform::SystemClock().Now();
    EXPECT_TRUE(now.Month >= 1 && now.Month <= 12);
}

TEST(WindowsBackends, OnlyWebPagesAreHandedToTheShell)
{
    EXPECT_FALSE(Platform::SystemWebBrowser().OpenPage("C:\\windows\\system32\\cmd.exe"));
    EXPECT_FALSE(Platform::SystemWebBrowser().OpenPage("file:///C:/windows/notepad.exe"));
}

TEST(WindowsRegistry, TheSettingsAreDwordAndStringValuesOfTheUsersKey)
{
    const std::string brand = "Halcyra Test Types " + std::to_string(GetCurrentProcessId());
    TSettingsStore store(Platform::UserRegistry());
    store.SetBrandName(brand);
    store.SetSSName("Halcyra Screensaver");
    store.SetRegistry();

    HKEY key = nullptr;
    const std::string path = "SOFTWARE\\" + brand + "\\Halcyra Screensaver";
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, number = 0, size = sizeof number;
    EXPECT_EQ(RegQueryValueExA(key, "Brightness", nullptr, &type, reinterpret_cast<BYTE *>(&number), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number, 256u);
    char text[16] = {};
    size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "WeatherCode", nullptr, &type, reinterpret_cast<BYTE *>(text), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u) << "the text and its terminating zero";
    EXPECT_STREQ(text, "20001");
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, ("SOFTWARE\\" + brand).c_str());
}

} // namespace
} // namespace Halcyra
