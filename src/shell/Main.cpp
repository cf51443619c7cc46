// Entry point of the screensaver module: the system's services handed to the run modes, to the main
// form and to the configuration form.
#include "BuildHosts.h"
#include "config/SettingsDialog.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/PeriodicTimer.h"
#include "platform/Registry.h"
#include "platform/Socket.h"
#include "platform/Sound.h"
#include "platform/WebBrowser.h"
#include "scene/MainForm.h"
#include "shell/RunModes.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace Halcyra;

// The full-screen run: the main form builds the scene, the configuration form follows it hidden,
// the message loop runs until the main form closes, and both forms are destroyed only after the loop
// has returned (the feed thread with the main form).
void RunSaverForms(const TForm2Services &form2)
{
    TSceneServices services{Platform::Application(), Platform::SystemDisplay(), Platform::UserRegistry(),
                            Platform::SystemSound(),   Platform::SystemClock(),   Platform::ModuleResources(),
                            Platform::SystemWebBrowser(), Platform::Sockets()};
    TForm1 form(services, Platform::CreatePeriodicTimer());
    form.FormCreate();
    const std::unique_ptr<THiddenForm2> hidden = CreateHiddenForm2(form2);
    Platform::Application().Run();
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    Platform::IApplication &application = Platform::Application();
    application.EndOnTerminationSignals();
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
    services.RunSaverForms = [&form2] { RunSaverForms(form2); };
    if (application.HostsDisplayPrograms()) {
        services.RunDisplayForms = [&form2, &application](Platform::TWindowHandle window) {
            application.HostMainWindowIn(window);
            RunSaverForms(form2);
        };
        if (const char *hostWindow = std::getenv("XSCREENSAVER_WINDOW"))
            services.HostWindowVariable = hostWindow;
        services.ReportError = [](const std::string &line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    }
    services.RunConfigurationForm = [&form2] { RunConfigurationForm(form2); };
    services.CreateHiddenConfigurationForm = [&form2] { return CreateHiddenForm2(form2); };
    return Shell::RunScreensaver(arguments, services);
}
