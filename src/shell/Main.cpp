// Entry point of the screensaver module: the system's services handed to the run modes and to the
// configuration form.
#include "BuildHosts.h"
#include "config/SettingsDialog.h"
#include "shell/RunModes.h"

int main(int argc, char **argv)
{
    using namespace Halcyra;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    Platform::IApplication &application = Platform::Application();
    Shell::TShellServices services{
        application,
        Platform::SystemLibraries(),
        Platform::DesktopWindows(),
        Platform::ModuleResources(),
        {},
        {},
        {},
    };
    const TForm2Services form2{
        Platform::UserRegistry(),
        application,
        Platform::Sockets(),
        Platform::SystemWebBrowser(),
        Platform::ModuleResources(),
        BuildHosts::MakerHost,
        [&application](Platform::TWindowHandle owner, const std::exception &error) {
            Shell::ShowException(application, owner, error);
        },
        Platform::CreateSettingsDialogWindow,
    };
    services.RunConfigurationForm = [&form2] { RunConfigurationForm(form2); };
    services.CreateHiddenConfigurationForm = [&form2] { return CreateHiddenForm2(form2); };
    return Shell::RunScreensaver(arguments, services);
}
