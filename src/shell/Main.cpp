// Entry point of the screensaver module: the system's services handed to the run modes.
#include "shell/RunModes.h"

int main(int argc, char **argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    Halcyra::Shell::TShellServices services{
        Halcyra::Platform::Application(),
        Halcyra::Platform::SystemLibraries(),
        Halcyra::Platform::DesktopWindows(),
        Halcyra::Platform::ModuleResources(),
        {},
        {},
    };
    return Halcyra::Shell::RunScreensaver(arguments, services);
}
