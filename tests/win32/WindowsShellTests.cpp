// The Windows module and its backends on a real Windows API (Wine in our runs): the registry values
// as Windows keeps them, the module's resources, foreign windows, MPR.DLL, and the .scr started as a
// host starts it, its message boxes read and closed and its settings dialog driven through the
// window system.
#include "config/LocationTable.h"
#include "engine/SettingsStore.h"
#include "imaging/BmpDecoder.h"
#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/ForeignWindow.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/SettingsDialogView.h"
#include "platform/WebBrowser.h"
#include "win32/ModuleRuns.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace Halcyra {
namespace {

using Testing::FinishModule;
using Testing::StartModule;
using Testing::TStartedProgram;
using Testing::ModulePath;

struct TFoundWindow {
    DWORD Process;
    std::function<bool(HWND)> Wanted;
    HWND Window = nullptr;
};

// A shown top-level window of the process that the test wants (a safety bound, not a budget).
HWND FindShownWindow(DWORD process, std::function<bool(HWND)> wanted)
{
    for (int attempt = 0; attempt < 600; ++attempt) {
        TFoundWindow found{process, wanted};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto *search = reinterpret_cast<TFoundWindow *>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == search->Process && IsWindowVisible(window) && search->Wanted(window)) {
                    search->Window = window;
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

// The message box the program shows, found by its dialog class.
HWND FindMessageBox(DWORD process)
{
    return FindShownWindow(process, [](HWND window) {
        char className[64] = {};
        GetClassNameA(window, className, sizeof className);
        // The dialog exists a moment before its text does; only a box with its text counts.
        return std::string(className) == "#32770" && GetWindowTextLengthA(GetDlgItem(window, 0xFFFF)) > 0;
    });
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

// The settings key of the module, as the dialog and the engine name it.
constexpr const char *ProductKey = "SOFTWARE\\Tessaly Software\\Halcyra Screensaver";

void ForgetProductKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, ProductKey);
}

// What the module's key holds, read as the engine reads it; nullopt when there is no key.
std::optional<TSettings> ProductSettings()
{
    TSettingsStore store(Platform::UserRegistry());
    store.SetBrandName("Tessaly Software");
    store.SetSSName("Halcyra Screensaver");
    if (!Platform::UserRegistry().OpenKey(store.KeyPath()))
        return std::nullopt;
    store.SetRegistry();
    return store.Loaded();
}

// The shown settings dialog of the process.
HWND FindSettingsDialog(DWORD process)
{
    return FindShownWindow(process, [](HWND window) { return CaptionOf(window) == "Screensaver Configuration"; });
}

// A control of the dialog by its id, wherever it sits (on the form or on a page).
HWND DialogControl(HWND dialog, Platform::TDialogControlId id)
{
    struct TSearch {
        int Id;
        HWND Found = nullptr;
    } search{static_cast<int>(id)};
    EnumChildWindows(
        dialog,
        [](HWND window, LPARAM data) -> BOOL {
            auto *wanted = reinterpret_cast<TSearch *>(data);
            if (GetDlgCtrlID(window) == wanted->Id) {
                wanted->Found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// Clicks a tab of the dialog's tab control as the mouse would; the tab's place is asked of the
// control through memory of the dialog's process.
void ClickTab(HANDLE process, HWND tabs, int index)
{
    void *remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(remote, nullptr);
    RECT box{};
    SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &box, sizeof box, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tabs, WM_LBUTTONUP, 0, at);
}

// Picks a list entry as the user would: the selection, then the notice to the list's parent.
void PickListEntry(HWND list, int index)
{
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

TEST(WindowsSettingsDialog, AFirstRunStoresTheDefaultsBeforeAnyButtonAndClosingExitsZero)
{
    ForgetProductKey();
    TStartedProgram program = StartModule("/c");
    ASSERT_TRUE(program.Started);
    HWND dialog = FindSettingsDialog(program.Process.dwProcessId);
    ASSERT_NE(dialog, nullptr);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 539);
    EXPECT_EQ(client.bottom, 576);
    EXPECT_EQ(ProductSettings(), TSettings::Defaults());
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(FinishModule(program), 0);
    EXPECT_EQ(ProductSettings(), TSettings::Defaults());
    ForgetProductKey();
}

TEST(WindowsSettingsDialog, ACityChosenOnTheWeatherTabIsStoredByOk)
{
    using Platform::TDialogControlId;
    ForgetProductKey();
    // Austria's third city, from the table the module carries too.
    const TLocationTable table = EmbeddedLocationTable(Platform::ModuleResources());
    const std::size_t austria = 14;
    ASSERT_EQ(table.CountryName(austria), "Austria");
    const auto cities = table.CitiesOf(austria);
    ASSERT_GT(cities.size(), 2u);
    const std::string expected(cities[2].Code);

    TStartedProgram program = StartModule("/c");
    ASSERT_TRUE(program.Started);
    HWND dialog = FindSettingsDialog(program.Process.dwProcessId);
    ASSERT_NE(dialog, nullptr);
    ClickTab(program.Process.hProcess, DialogControl(dialog, TDialogControlId::PageControl1), 1);
    HWND countries = DialogControl(dialog, TDialogControlId::ComboBox1Country);
    HWND cities2 = DialogControl(dialog, TDialogControlId::ComboBox1City);
    ASSERT_NE(countries, nullptr);
    ASSERT_NE(cities2, nullptr);
    EXPECT_EQ(SendMessageA(countries, CB_GETCOUNT, 0, 0), 221);
    EXPECT_EQ(SendMessageA(countries, CB_GETCURSEL, 0, 0), 210) << "the default location is in the USA";
    PickListEntry(countries, static_cast<int>(austria));
    EXPECT_EQ(SendMessageA(cities2, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(cities.size()));
    PickListEntry(cities2, 2);
    HWND ok = DialogControl(dialog, TDialogControlId::BTOK);
    ASSERT_NE(ok, nullptr);
    PostMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(FinishModule(program), 0);
    const auto stored = ProductSettings();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->WeatherCode, expected);
    ForgetProductKey();
}

} // namespace
} // namespace Halcyra
