// The run modes driven through fakes of the platform: the mode choice, the preview's wait and
// drawing, the password change's two failures and its call, and the error display.
#include "config/SettingsDialog.h"
#include "shell/RunModes.h"
#include "support/FakeApplication.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace Halcyra::Shell {
namespace {

using Platform::TForeignWindowState;
using Testing::TFakeApplication;

class TFakeLibrary final : public Platform::IDynamicLibrary {
public:
    TFakeLibrary(std::map<std::string, void *> symbols, int &unloads, std::function<void()> onUnload)
        : FSymbols(std::move(symbols)), FUnloads(unloads), FOnUnload(std::move(onUnload))
    {
    }
    ~TFakeLibrary() override
    {
        ++FUnloads;
        if (FOnUnload)
            FOnUnload();
    }
    void *Symbol(const std::string &name) override
    {
        auto found = FSymbols.find(name);
        return found == FSymbols.end() ? nullptr : found->second;
    }

private:
    std::map<std::string, void *> FSymbols;
    int &FUnloads;
    std::function<void()> FOnUnload;
};

class TFakeLibraries final : public Platform::ILibraryLoader {
public:
    std::unique_ptr<Platform::IDynamicLibrary> Load(const std::string &fileName) override
    {
        Requested.push_back(fileName);
        if (!Present)
            return nullptr;
        return std::make_unique<TFakeLibrary>(Symbols, Unloads, OnUnload);
    }
    bool Present = false;
    // Runs as a library is unloaded, so that a test can see what had happened by then.
    std::function<void()> OnUnload;
    std::map<std::string, void *> Symbols;
    std::vector<std::string> Requested;
    int Unloads = 0;
};

class TFakeWindows final : public Platform::IForeignWindows {
public:
    TForeignWindowState State(Platform::TWindowHandle window) override
    {
        Queried.push_back(window);
        if (States.empty())
            return TForeignWindowState::Visible;
        TForeignWindowState state = States.front();
        if (States.size() > 1)
            States.erase(States.begin());
        return state;
    }
    bool DrawBitmap(Platform::TWindowHandle window, const Imaging::TBitmap32 &bitmap) override
    {
        Drawn.push_back({window, bitmap.Width(), bitmap.Height(), bitmap.GetPixel(0, 0)});
        return true;
    }
    struct TDrawing {
        Platform::TWindowHandle Window;
        int Width, Height;
        std::uint32_t TopLeft;
    };
    std::vector<TForeignWindowState> States;
    std::vector<Platform::TWindowHandle> Queried;
    std::vector<TDrawing> Drawn;
};

class TFakeResources final : public Platform::IModuleResources {
public:
    std::optional<std::span<const std::uint8_t>> Find(std::string_view type, std::string_view name) const override
    {
        if (type != Platform::ResourceTypeBitmap || name != "PREVIEWBMP" || !Preview)
            return std::nullopt;
        return std::span<const std::uint8_t>(*Preview);
    }
    std::optional<std::vector<std::uint8_t>> Preview;
};

// The password function's last call, as the library would receive it.
struct TPasswordCall {
    std::string Provider;
    std::uintptr_t Parent = 0;
    std::uint32_t Reserved1 = 99, Reserved2 = 99;
    int Count = 0;
} GPasswordCall;

std::uint32_t RecordPasswordCall(const char *provider, std::uintptr_t parent, std::uint32_t reserved1, std::uint32_t reserved2)
{
    GPasswordCall = {provider, parent, reserved1, reserved2, GPasswordCall.Count + 1};
    return 0;
}

std::vector<std::uint8_t> PreviewDib(std::uint32_t colour)
{
    auto bitmap = Imaging::TBitmap32::Create(154, 116);
    for (int y = 0; y < 116; ++y)
        for (int x = 0; x < 154; ++x)
            bitmap->SetPixel(x, y, colour);
    return Testing::DibOf(Testing::MakeBmp24(*bitmap));
}

class RunModes : public testing::Test {
protected:
    int Run(std::vector<std::string> arguments) { return RunScreensaver(arguments, Services); }

    TFakeApplication Application;
    TFakeLibraries Libraries;
    TFakeWindows Windows;
    TFakeResources Resources;
    int SaverRuns = 0;
    int ConfigurationRuns = 0;
    TShellServices Services{Application, Libraries, Windows, Resources, [this] { ++SaverRuns; }, [this] { ++ConfigurationRuns; }};
};

TEST(ChooseRunMode, ShortArgumentsRunTheSaver)
{
    for (std::string argument : {"", "S", "P", "/", "x", "c"})
        EXPECT_EQ(ChooseRunMode(argument), TRunMode::Saver) << '"' << argument << '"';
}

TEST(ChooseRunMode, OneLeadingSlashOrDashThenTheFirstLetter)
{
    EXPECT_EQ(ChooseRunMode("/s"), TRunMode::Saver);
    EXPECT_EQ(ChooseRunMode("-S"), TRunMode::Saver);
    EXPECT_EQ(ChooseRunMode("/S123"), TRunMode::Saver);
    EXPECT_EQ(ChooseRunMode("/c"), TRunMode::Configuration);
    EXPECT_EQ(ChooseRunMode("-C"), TRunMode::Configuration);
    EXPECT_EQ(ChooseRunMode("/c:4711"), TRunMode::Configuration);
    EXPECT_EQ(ChooseRunMode("/p"), TRunMode::Preview);
    EXPECT_EQ(ChooseRunMode("-a"), TRunMode::Password);
    EXPECT_EQ(ChooseRunMode("config"), TRunMode::Configuration);
    EXPECT_EQ(ChooseRunMode("/x"), TRunMode::Saver);
    // Only one slash is removed: the letter after it is a slash, which names no mode.
    EXPECT_EQ(ChooseRunMode("//c"), TRunMode::Saver);
    EXPECT_EQ(ChooseRunMode("-/p"), TRunMode::Saver);
}

TEST(ParseDecimalInteger, AcceptsSignedThirtyTwoBitDecimals)
{
    EXPECT_EQ(ParseDecimalInteger("1234"), 1234);
    EXPECT_EQ(ParseDecimalInteger("-5"), -5);
    EXPECT_EQ(ParseDecimalInteger("+7"), 7);
    EXPECT_EQ(ParseDecimalInteger("2147483647"), 2147483647);
}

TEST(ParseDecimalInteger, RejectsEverythingElseWithTheConversionText)
{
    for (std::string text : {"", "abc", "12a", " 12", "0x10", "2147483648", "+", "-"}) {
        try {
            ParseDecimalInteger(text);
            ADD_FAILURE() << "accepted \"" << text << '"';
        } catch (const EConvertError &error) {
            EXPECT_EQ(std::string(error.what()), "'" + text + "' is not a valid integer value");
        }
    }
}

TEST(ExceptionMessageText, AddsAFullStopUnlessThereIsOne)
{
    EXPECT_EQ(ExceptionMessageText("'abc' is not a valid integer value"), "'abc' is not a valid integer value.");
    EXPECT_EQ(ExceptionMessageText("Done."), "Done.");
    EXPECT_EQ(ExceptionMessageText("Really?!"), "Really?!");
    EXPECT_EQ(ExceptionMessageText(""), "");
}

TEST_F(RunModes, SaverModeInitialisesTheApplicationAndRunsTheForms)
{
    EXPECT_EQ(Run({}), 0);
    EXPECT_EQ(Run({"/s"}), 0);
    EXPECT_EQ(Run({"//c"}), 0);
    EXPECT_EQ(SaverRuns, 3);
    EXPECT_EQ(Application.InitializeCount, 3);
    EXPECT_TRUE(Application.Title.empty()) << "the saver sets no title";
    EXPECT_EQ(ConfigurationRuns, 0);
}

TEST_F(RunModes, ConfigurationModeSetsTheTitleAndIgnoresWhatFollowsTheLetter)
{
    EXPECT_EQ(Run({"/c:4711"}), 0);
    EXPECT_EQ(ConfigurationRuns, 1);
    EXPECT_EQ(Application.Title, "Screensaver Configuration");
    EXPECT_EQ(SaverRuns, 0);
}

TEST_F(RunModes, WithoutFormsAPlainWindowStandsIn)
{
    Services.RunSaverForms = nullptr;
    Services.RunConfigurationForm = nullptr;
    Run({"/s"});
    Run({"/c"});
    ASSERT_EQ(Application.WindowKinds.size(), 2u);
    EXPECT_EQ(Application.WindowKinds[0], Platform::TMainWindowKind::FullScreen);
    EXPECT_EQ(Application.WindowKinds[1], Platform::TMainWindowKind::Dialog);
    EXPECT_EQ(Application.RunCount, 2);
}

TEST_F(RunModes, SaverModeCreatesTheHiddenConfigurationFormAfterItsWindowAndKeepsItForTheRun)
{
    Services.RunSaverForms = nullptr;
    std::vector<std::string> steps;
    Services.CreateHiddenConfigurationForm = [&]() -> std::unique_ptr<THiddenForm2> {
        steps.push_back("form after " + std::to_string(Application.WindowKinds.size()) + " window(s), " +
                        std::to_string(Application.RunCount) + " run(s)");
        return nullptr;
    };
    Run({"/s"});
    Run({"/c"});
    EXPECT_EQ(steps, (std::vector<std::string>{"form after 1 window(s), 0 run(s)"})) << "configuration mode has none";
    EXPECT_EQ(Application.RunCount, 1);
    EXPECT_EQ(ConfigurationRuns, 1);
}

TEST_F(RunModes, AWindowThatCannotBeCreatedIsReportedNotRun)
{
    Services.RunSaverForms = nullptr;
    Application.CanCreateWindows = false;
    EXPECT_EQ(Run({"/s"}), 0);
    EXPECT_EQ(Application.RunCount, 0);
    ASSERT_EQ(Application.MessageBoxes.size(), 1u);
    EXPECT_EQ(Application.MessageBoxes[0].Text, "The screensaver window could not be created.");
}

TEST_F(RunModes, NoDisplayIsALineOnStandardErrorAndExitCodeOne)
{
    for (const char *mode : {"/s", "/c"}) {
        Services.RunSaverForms = [] { throw Platform::ENoDisplay("no display could be opened: DISPLAY is not set"); };
        Services.RunConfigurationForm = Services.RunSaverForms;
        std::vector<std::string> lines;
        Services.ReportError = [&lines](const std::string &line) { lines.push_back(line); };
        EXPECT_EQ(Run({mode}), 1) << mode;
        EXPECT_EQ(lines, std::vector<std::string>{"halcyra-screensaver: no display could be opened: DISPLAY is not set"}) << mode;
        EXPECT_TRUE(Application.MessageBoxes.empty()) << mode;
        // Where there is no standard error stream, the framework's box says it.
        Services.ReportError = nullptr;
        EXPECT_EQ(Run({mode}), 1) << mode;
        ASSERT_EQ(Application.MessageBoxes.size(), 1u) << mode;
        EXPECT_EQ(Application.MessageBoxes[0].Text, "no display could be opened: DISPLAY is not set.");
        Application.MessageBoxes.clear();
    }
}

TEST_F(RunModes, PreviewWaitsUntilTheWindowIsVisibleThenDrawsOnce)
{
    Resources.Preview = PreviewDib(0x336699);
    Windows.States = {TForeignWindowState::Hidden, TForeignWindowState::Hidden, TForeignWindowState::Visible};
    EXPECT_EQ(Run({"/p", "1234"}), 0);
    ASSERT_EQ(Windows.Drawn.size(), 1u);
    EXPECT_EQ(Windows.Drawn[0].Window, 1234u);
    EXPECT_EQ(Windows.Drawn[0].Width, 154);
    EXPECT_EQ(Windows.Drawn[0].Height, 116);
    EXPECT_EQ(Windows.Drawn[0].TopLeft, 0x336699u);
    EXPECT_EQ(Windows.Queried.size(), 3u);
    EXPECT_EQ(Application.ProcessMessagesCount, 2) << "messages are handled while waiting";
    EXPECT_EQ(Application.InitializeCount, 0) << "the preview does not initialise the application";
    EXPECT_TRUE(Application.MessageBoxes.empty());
}

TEST_F(RunModes, PreviewOfAWindowDestroyedBeforeItIsShownEndsQuietly)
{
    Resources.Preview = PreviewDib(0x336699);
    Windows.States = {TForeignWindowState::Hidden, TForeignWindowState::Gone};
    EXPECT_EQ(Run({"/p", "77"}), 0);
    EXPECT_TRUE(Windows.Drawn.empty());
    EXPECT_TRUE(Application.MessageBoxes.empty());
}

TEST_F(RunModes, PreviewWithABadHandleShowsTheConversionError)
{
    for (const auto &arguments : std::vector<std::vector<std::string>>{{"/p"}, {"/p", "abc"}}) {
        Application.MessageBoxes.clear();
        EXPECT_EQ(Run(arguments), 0);
        ASSERT_EQ(Application.MessageBoxes.size(), 1u);
        const std::string text = arguments.size() == 1 ? "''" : "'abc'";
        EXPECT_EQ(Application.MessageBoxes[0].Text, text + " is not a valid integer value.");
        EXPECT_EQ(Application.MessageBoxes[0].Caption, "HalcyraScreensaver");
        EXPECT_EQ(Application.MessageBoxes[0].Icon, Platform::TMessageBoxIcon::Error);
    }
    EXPECT_TRUE(Windows.Drawn.empty());
}

TEST_F(RunModes, PreviewWithoutItsBitmapOrWithABrokenOneShowsAnError)
{
    EXPECT_EQ(Run({"/p", "1"}), 0);
    ASSERT_EQ(Application.MessageBoxes.size(), 1u);
    EXPECT_EQ(Application.MessageBoxes[0].Text, "Resource PREVIEWBMP not found.");

    Resources.Preview = std::vector<std::uint8_t>{40, 0, 0, 0, 1, 2};
    EXPECT_EQ(Run({"/p", "1"}), 0);
    ASSERT_EQ(Application.MessageBoxes.size(), 2u);
    EXPECT_EQ(Application.MessageBoxes[1].Text, "Bitmap image is not valid.");
    EXPECT_TRUE(Windows.Drawn.empty());
}

TEST_F(RunModes, PasswordWithoutTheLibrary)
{
    EXPECT_EQ(Run({"/a", "4711"}), 0);
    ASSERT_EQ(Libraries.Requested, std::vector<std::string>{"MPR.DLL"});
    ASSERT_EQ(Application.MessageBoxes.size(), 1u);
    EXPECT_EQ(Application.MessageBoxes[0].Text, "MPR.DLL not found: cannot change password.");
    EXPECT_EQ(Application.MessageBoxes[0].Caption, "Screen saver");
    EXPECT_EQ(Application.MessageBoxes[0].Owner, 4711u);
}

TEST_F(RunModes, PasswordWithoutTheFunctionUnloadsTheLibraryFirst)
{
    Libraries.Present = true;
    std::size_t boxesAtUnload = 99;
    Libraries.OnUnload = [&] { boxesAtUnload = Application.MessageBoxes.size(); };
    EXPECT_EQ(Run({"-A", "12"}), 0);
    EXPECT_EQ(Libraries.Unloads, 1);
    EXPECT_EQ(boxesAtUnload, 0u) << "the library is unloaded before the message shows";
    ASSERT_EQ(Application.MessageBoxes.size(), 1u);
    EXPECT_EQ(Application.MessageBoxes[0].Text, "PwdChangeProc not found: cannot change password");
    EXPECT_EQ(Application.MessageBoxes[0].Caption, "Screen saver");
    EXPECT_EQ(Application.MessageBoxes[0].Owner, 12u);
}

TEST_F(RunModes, PasswordCallsTheSystemDialogWithTheProviderAndParent)
{
    Libraries.Present = true;
    Libraries.Symbols["PwdChangePasswordA"] = reinterpret_cast<void *>(&RecordPasswordCall);
    GPasswordCall = {};
    EXPECT_EQ(Run({"/a", "5150"}), 0);
    EXPECT_EQ(GPasswordCall.Count, 1);
    EXPECT_EQ(GPasswordCall.Provider, "SCRSAVE");
    EXPECT_EQ(GPasswordCall.Parent, 5150u);
    EXPECT_EQ(GPasswordCall.Reserved1, 0u);
    EXPECT_EQ(GPasswordCall.Reserved2, 0u);
    EXPECT_EQ(Libraries.Unloads, 1);
    EXPECT_TRUE(Application.MessageBoxes.empty());
}

TEST_F(RunModes, PasswordWithABadHandleShowsTheConversionError)
{
    EXPECT_EQ(Run({"/a", "x1"}), 0);
    ASSERT_EQ(Application.MessageBoxes.size(), 1u);
    EXPECT_EQ(Application.MessageBoxes[0].Text, "'x1' is not a valid integer value.");
    EXPECT_TRUE(Libraries.Requested.empty());
}

TEST_F(RunModes, AnErrorOfAFormIsShownAndTheExitCodeStaysZero)
{
    Services.RunSaverForms = [] { throw std::runtime_error("Failed to get data for 'Brightness'"); };
    EXPECT_EQ(Run({"/s"}), 0);
    ASSERT_EQ(Application.MessageBoxes.size(), 1u);
    // A text ending in a quote, or any character up to '.', gets no full stop.
    EXPECT_EQ(Application.MessageBoxes[0].Text, "Failed to get data for 'Brightness'");
}

TEST(ParseDisplayCommand, TheDisplayOptionsAndTheHostsWindow)
{
    using TKind = TDisplayCommand::TKind;
    struct TCase {
        std::vector<std::string> Arguments;
        std::optional<std::string> HostWindow;
        TKind Kind;
        Platform::TWindowHandle Window;
    };
    const TCase cases[] = {
        {{"--root"}, std::nullopt, TKind::Display, 0},
        {{"-root"}, "0x2a", TKind::Display, 42},
        {{"--window-id", "4194313"}, std::nullopt, TKind::Display, 4194313},
        {{"-window-id", "0X40000A"}, "17", TKind::Display, 0x40000A},
        {{"--root", "--window-id", "99"}, "17", TKind::Display, 99},
        {{}, "0x400001", TKind::Display, 0x400001},
        {{}, std::nullopt, TKind::NotDisplay, 0},
        // The screensaver command line keeps its first letter: a host's window does not change it.
        {{"/s"}, "17", TKind::NotDisplay, 0},
        {{"-s"}, std::nullopt, TKind::NotDisplay, 0},
        {{"-rootless"}, std::nullopt, TKind::NotDisplay, 0},
        {{"/c:4711"}, std::nullopt, TKind::NotDisplay, 0},
        {{"--help"}, std::nullopt, TKind::Usage, 0},
        {{"--window-id"}, std::nullopt, TKind::Usage, 0},
        {{"--root", "/s"}, std::nullopt, TKind::Usage, 0},
        {{"--window-id", "12abc"}, std::nullopt, TKind::BadWindowId, 0},
        {{"--root"}, "", TKind::BadWindowId, 0},
        {{}, "window", TKind::BadWindowId, 0},
    };
    for (const TCase &test : cases) {
        std::string shown;
        for (const auto &argument : test.Arguments)
            shown += argument + " ";
        SCOPED_TRACE(shown + "| " + test.HostWindow.value_or("(no host window)"));
        const TDisplayCommand command = ParseDisplayCommand(test.Arguments, test.HostWindow);
        EXPECT_EQ(command.Kind, test.Kind);
        EXPECT_EQ(command.Window, test.Window);
    }
}

TEST(ParseWindowId, DecimalOrHexadecimalAndNeverZero)
{
    EXPECT_EQ(ParseWindowId("4194313"), 4194313u);
    EXPECT_EQ(ParseWindowId("0x1e00007"), 0x1e00007u);
    EXPECT_EQ(ParseWindowId("4294967295"), 4294967295u);
    for (std::string text : {"", "0", "0x", "0x0", "-5", "+5", "12 ", "0x1g", "4294967296", "1e3"})
        EXPECT_EQ(ParseWindowId(text), std::nullopt) << '"' << text << '"';
}

class DisplayModes : public RunModes {
protected:
    DisplayModes()
    {
        Services.RunDisplayForms = [this](Platform::TWindowHandle window) { Drawn.push_back(window); };
        Services.ReportError = [this](const std::string &line) { Errors.push_back(line); };
    }
    std::vector<Platform::TWindowHandle> Drawn;
    std::vector<std::string> Errors;
};

TEST_F(DisplayModes, EachOutcomeHasItsExitCodeAndItsLine)
{
    struct TCase {
        std::vector<std::string> Arguments;
        int ExitCode;
        std::string Error;
    };
    const TCase cases[] = {
        {{"--window-id", "0x400001"}, 0, ""},
        {{"--frobnicate"}, 2, UsageText},
        {{"-window-id", "x1"}, 1, "halcyra-screensaver: 'x1' is not a window id"},
    };
    for (const TCase &test : cases) {
        SCOPED_TRACE(test.Arguments[0]);
        Errors.clear();
        EXPECT_EQ(Run(test.Arguments), test.ExitCode);
        EXPECT_EQ(Errors, test.Error.empty() ? std::vector<std::string>{} : std::vector<std::string>{test.Error});
        EXPECT_TRUE(Application.MessageBoxes.empty()) << "nothing of a display program shows a message box";
    }
    EXPECT_EQ(Drawn, std::vector<Platform::TWindowHandle>{0x400001});
    EXPECT_EQ(SaverRuns, 0);
}

TEST_F(RunModes, WithoutDisplayProgramsTheirOptionsAreScreensaverLetters)
{
    Services.HostWindowVariable = "0x400001";
    EXPECT_EQ(Run({"--root"}), 0);
    EXPECT_EQ(Run({"--window-id", "12"}), 0);
    EXPECT_EQ(Run({}), 0);
    EXPECT_EQ(SaverRuns, 3);
}

} // namespace
} // namespace Halcyra::Shell
