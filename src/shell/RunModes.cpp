// The four run modes of the screensaver and the choice between them.
#include "shell/RunModes.h"

#include "config/SettingsDialog.h"
#include "imaging/BmpDecoder.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <thread>

namespace Halcyra::Shell {
namespace {

// PwdChangePasswordA(provider, parent window, reserved, reserved). On x64 Windows there is one
// calling convention, so the plain function pointer type matches the library's export.
using TPwdChangePasswordA = std::uint32_t (*)(const char *, std::uintptr_t, std::uint32_t, std::uint32_t);

// A host shows its preview window moments after starting us; polling this often costs nothing and
// keeps the wait from burning a core.
constexpr auto PreviewPollInterval = std::chrono::milliseconds(5);

std::string SecondArgument(const std::vector<std::string> &arguments)
{
    return arguments.size() > 1 ? arguments[1] : std::string();
}

Platform::TWindowHandle WindowHandleOf(std::int32_t value)
{
    // A handle the host wrote as a signed 32-bit number widens with its sign, as HWNDs do.
    return static_cast<Platform::TWindowHandle>(static_cast<std::intptr_t>(value));
}

// Until the scene exists, a plain window stands in that any key or click closes; in saver mode the
// hidden configuration form follows it.
void RunPlainWindow(Platform::IApplication &application, Platform::TMainWindowKind kind,
                    const std::function<std::unique_ptr<THiddenForm2>()> &createHiddenForm = {})
{
    Platform::TWindowEvents events;
    if (kind == Platform::TMainWindowKind::FullScreen) {
        events.OnKeyDown = [&application](Platform::TKey) { application.CloseMainWindow(); };
        events.OnMouseDown = [&application] { application.CloseMainWindow(); };
    }
    if (application.CreateMainWindow(kind, events) == 0)
        throw std::runtime_error("The screensaver window could not be created");
    std::unique_ptr<THiddenForm2> hiddenForm = createHiddenForm ? createHiddenForm() : nullptr;
    application.Run();
}

// A line for the standard error stream, where the system has one for the program.
void Report(TShellServices &services, const std::string &text)
{
    if (services.ReportError)
        services.ReportError("halcyra-screensaver: " + text);
}

} // namespace

TRunMode ChooseRunMode(const std::string &argument)
{
    std::string upper = argument;
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.size() < 2)
        return TRunMode::Saver;
    if (upper[0] == '/' || upper[0] == '-')
        upper.erase(0, 1);
    switch (upper.empty() ? '\0' : upper[0]) {
    case 'P': return TRunMode::Preview;
    case 'C': return TRunMode::Configuration;
    case 'A': return TRunMode::Password;
    default: return TRunMode::Saver;
    }
}

std::int32_t ParseDecimalInteger(const std::string &text)
{
    const char *begin = text.data();
    const char *end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    std::int32_t value = 0;
    auto [stop, error] = std::from_chars(begin, end, value, 10);
    if (begin == end || error != std::errc() || stop != end)
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

std::optional<Platform::TWindowHandle> ParseWindowId(const std::string &text)
{
    const bool hexadecimal = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *begin = text.data() + (hexadecimal ? 2 : 0);
    const char *end = text.data() + text.size();
    std::uint32_t value = 0;
    auto [stop, error] = std::from_chars(begin, end, value, hexadecimal ? 16 : 10);
    if (begin == end || error != std::errc() || stop != end || value == 0)
        return std::nullopt;
    return static_cast<Platform::TWindowHandle>(value);
}

TDisplayCommand ParseDisplayCommand(const std::vector<std::string> &arguments, const std::optional<std::string> &hostWindow)
{
    using TKind = TDisplayCommand::TKind;
    const auto windowCommand = [](const std::string &text) {
        const auto window = ParseWindowId(text);
        return window ? TDisplayCommand{TKind::Display, *window, {}} : TDisplayCommand{TKind::BadWindowId, 0, text};
    };
    if (arguments.empty())
        return hostWindow ? windowCommand(*hostWindow) : TDisplayCommand{};
    const auto isDisplayOption = [](const std::string &argument) {
        return argument == "--root" || argument == "-root" || argument == "--window-id" || argument == "-window-id";
    };
    // Anything else with one leading dash or slash is the screensaver command line, whose first
    // letter alone counts ("-s", "/c:4711").
    if (!isDisplayOption(arguments[0]) && arguments[0].rfind("--", 0) != 0)
        return TDisplayCommand{};
    bool root = false;
    std::optional<std::string> windowText;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--root" || argument == "-root") {
            root = true;
        } else if ((argument == "--window-id" || argument == "-window-id") && i + 1 < arguments.size()) {
            windowText = arguments[++i];
        } else {
            return TDisplayCommand{TKind::Usage, 0, {}};
        }
    }
    if (windowText)
        return windowCommand(*windowText);
    if (root && hostWindow)
        return windowCommand(*hostWindow);
    return TDisplayCommand{TKind::Display, 0, {}};
}

std::string ExceptionMessageText(const std::string &message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ShowException(Platform::IApplication &application, Platform::TWindowHandle owner, const std::exception &error)
{
    application.ShowMessageBox(owner, ExceptionMessageText(error.what()), application.GetTitle(), Platform::TMessageBoxIcon::Error);
}

void RunSaverMode(TShellServices &services)
{
    services.Application.Initialize();
    if (services.RunSaverForms)
        services.RunSaverForms();
    else
        RunPlainWindow(services.Application, Platform::TMainWindowKind::FullScreen, services.CreateHiddenConfigurationForm);
}

void RunConfigurationMode(TShellServices &services)
{
    services.Application.Initialize();
    services.Application.SetTitle(ConfigurationTitle);
    if (services.RunConfigurationForm)
        services.RunConfigurationForm();
    else
        RunPlainWindow(services.Application, Platform::TMainWindowKind::Dialog);
}

void RunPreviewMode(const std::vector<std::string> &arguments, TShellServices &services)
{
    const Platform::TWindowHandle window = WindowHandleOf(ParseDecimalInteger(SecondArgument(arguments)));
    for (;;) {
        const Platform::TForeignWindowState state = services.Windows.State(window);
        if (state == Platform::TForeignWindowState::Visible)
            break;
        // A window destroyed before it was ever shown ends the wait: there is nothing to draw into.
        if (state == Platform::TForeignWindowState::Gone)
            return;
        services.Application.ProcessMessages();
        std::this_thread::sleep_for(PreviewPollInterval);
    }
    auto dib = services.Resources.Find(Platform::ResourceTypeBitmap, PreviewBitmapName);
    if (!dib)
        throw EResNotFound(std::string("Resource ") + PreviewBitmapName + " not found");
    Imaging::TPictureResult picture = Imaging::DecodeDib(*dib);
    if (!picture.Bitmap)
        throw std::runtime_error("Bitmap image is not valid");
    services.Windows.DrawBitmap(window, *picture.Bitmap);
}

void RunPasswordMode(const std::vector<std::string> &arguments, TShellServices &services)
{
    const Platform::TWindowHandle parent = WindowHandleOf(ParseDecimalInteger(SecondArgument(arguments)));
    auto library = services.Libraries.Load("MPR.DLL");
    if (!library) {
        services.Application.ShowMessageBox(parent, MissingPasswordLibraryText, PasswordCaption, Platform::TMessageBoxIcon::NoIcon);
        return;
    }
    void *symbol = library->Symbol("PwdChangePasswordA");
    if (symbol == nullptr) {
        library.reset();
        services.Application.ShowMessageBox(parent, MissingPasswordFunctionText, PasswordCaption, Platform::TMessageBoxIcon::NoIcon);
        return;
    }
    auto changePassword = reinterpret_cast<TPwdChangePasswordA>(symbol);
    changePassword("SCRSAVE", parent, 0, 0);
}

int RunDisplayMode(Platform::TWindowHandle window, TShellServices &services)
{
    // Nothing of the display mode may show a message box: the host's window covers the screen.
    try {
        services.Application.Initialize();
        services.RunDisplayForms(window);
    } catch (const std::exception &error) {
        Report(services, error.what());
        return 1;
    }
    return 0;
}

int RunScreensaver(const std::vector<std::string> &arguments, TShellServices &services)
{
    if (services.RunDisplayForms) {
        const TDisplayCommand command = ParseDisplayCommand(arguments, services.HostWindowVariable);
        switch (command.Kind) {
        case TDisplayCommand::TKind::NotDisplay: break;
        case TDisplayCommand::TKind::Display: return RunDisplayMode(command.Window, services);
        case TDisplayCommand::TKind::Usage:
            if (services.ReportError)
                services.ReportError(UsageText);
            return 2;
        case TDisplayCommand::TKind::BadWindowId:
            Report(services, "'" + command.BadText + "' is not a window id");
            return 1;
        }
    }
    try {
        switch (ChooseRunMode(arguments.empty() ? std::string() : arguments[0])) {
        case TRunMode::Saver: RunSaverMode(services); break;
        case TRunMode::Configuration: RunConfigurationMode(services); break;
        case TRunMode::Preview: RunPreviewMode(arguments, services); break;
        case TRunMode::Password: RunPasswordMode(arguments, services); break;
        }
    } catch (const Platform::ENoDisplay &error) {
        // Nothing can be shown without a display: the line goes where the command was typed.
        if (services.ReportError)
            Report(services, error.what());
        else
            ShowException(services.Application, 0, error);
        return 1;
    } catch (const std::exception &error) {
        ShowException(services.Application, 0, error);
    } catch (...) {
        services.Application.ShowMessageBox(0, "Unknown error.", services.Application.GetTitle(), Platform::TMessageBoxIcon::Error);
    }
    return 0;
}

} // namespace Halcyra::Shell
