// The program under Debian's real XScreenSaver daemon, on an X server of the test's own: a private
// home whose ~/.xscreensaver lists only this program, the daemon told to blank the screen, the scene
// on the screen, the daemon told to stop, and the program gone. The daemon never starts display
// programs as root: run by root, the test runs it as the unprivileged user scripts/setup creates.
#include "linux/OwnXServer.h"
#include "linux/ProgramRuns.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace Halcyra {
namespace {

namespace fs = std::filesystem;

constexpr const char *DaemonUser = "halcyra-saver";

bool OnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        if (access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Runs a command of the daemon's as the daemon's user (as root) or as ourselves, in the private
// home; returns its process, not waiting.
pid_t Spawn(const std::vector<std::string> &command, const std::string &home, const std::string &display, bool asDaemonUser)
{
    std::vector<std::string> words;
    if (asDaemonUser)
        words = {"runuser", "-u", DaemonUser, "--"};
    words.insert(words.end(), {"env", "-i", "HOME=" + home, "DISPLAY=" + display, "PATH=/usr/bin:/bin",
                               "XDG_CONFIG_HOME=" + home + "/.config", "ASAN_OPTIONS=detect_leaks=0"});
    words.insert(words.end(), command.begin(), command.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (home + "/daemon-output.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    char *environment[] = {nullptr};
    const pid_t pid = Testing::SpawnCommand(words, &actions, environment);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The processes whose command line starts with the program's path.
std::vector<pid_t> ProcessesOf(const std::string &program)
{
    std::vector<pid_t> found;
    for (const auto &entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file(entry.path() / "cmdline");
        std::string first;
        std::getline(file, first, '\0');
        if (first == program)
            found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return found;
}

// A few pixels across the screen.
std::vector<std::uint32_t> Sample(Display *display)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 100; y < 768; y += 150)
        for (int x = 100; x < 1024; x += 150)
            pixels.push_back(Testing::ScreenPixel(display, x, y));
    return pixels;
}

TEST(XScreenSaverDaemon, RunsTheProgramWhenActivatedAndEndsItWhenDeactivated)
{
    if (!OnPath("xscreensaver") || !OnPath("xscreensaver-command"))
        GTEST_SKIP() << "needs Debian's xscreensaver (scripts/setup installs it)";
    const bool asDaemonUser = getuid() == 0;
    const passwd *user = asDaemonUser ? getpwnam(DaemonUser) : nullptr;
    if (asDaemonUser && user == nullptr)
        GTEST_SKIP() << "needs the user " << DaemonUser << " (scripts/setup creates it)";
    Testing::TOwnXServer server({"-ac"});
    ASSERT_FALSE(server.Name.empty());

    // The home, and a copy of the program in it that the daemon's user may run wherever the build is.
    const fs::path home = fs::temp_directory_path() / ("halcyra-daemon-" + std::to_string(getpid()));
    fs::remove_all(home);
    fs::create_directories(home / ".config" / "Tessaly Software");
    const fs::path program = home / "halcyra-screensaver";
    fs::copy_file(HALCYRA_SCREENSAVER_PATH, program);
    {
        std::ofstream settings(home / ".config" / "Tessaly Software" / "Halcyra Screensaver.reg");
        settings << "[SOFTWARE\\Tessaly Software\\Halcyra Screensaver]\n";
        for (const char *line : {"\"ShowTime\"=dword:1", "\"ShowWeather\"=dword:0", "\"ShowNews\"=dword:0", "\"Brightness\"=dword:256",
                                 "\"SoundVolume\"=dword:0", "\"TDegree\"=\"c\"", "\"WeatherCode\"=\"\"", "\"RSS_Url\"=\"\"",
                                 "\"ShowBlack\"=dword:0", "\"UseProxy\"=dword:0", "\"Proxy\"=\"\"", "\"Port\"=\"\""})
            settings << line << "\n";
        std::ofstream daemonSettings(home / ".xscreensaver");
        daemonSettings << "timeout:\t0:30:00\ncycle:\t0:00:00\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\nunfade:\tFalse\n"
                          "dpmsEnabled:\tFalse\nmode:\tone\nselected:\t0\n"
                       << "programs:\t" << program.string() << " --root\t\\n\n";
    }
    if (asDaemonUser) {
        for (const auto &entry : fs::recursive_directory_iterator(home))
            lchown(entry.path().c_str(), user->pw_uid, user->pw_gid);
        chown(home.c_str(), user->pw_uid, user->pw_gid);
    }

    const auto command = [&](const char *what) { return Wait(Spawn({"xscreensaver-command", what}, home.string(), server.Name, asDaemonUser)); };
    pid_t daemon = -1;
    // Whatever fails below, the daemon ends, and what it and the commands printed is shown.
    struct TEnd {
        std::function<void()> Run;
        ~TEnd() { Run(); }
    } end{[&] {
        if (daemon > 0) {
            // runuser hands the signal on to the daemon and waits for it.
            kill(daemon, SIGTERM);
            Wait(daemon);
        }
        if (HasFailure()) {
            std::ifstream output(home / "daemon-output.txt");
            std::cerr << "what the daemon and its commands printed:\n" << output.rdbuf() << "\n";
        }
        server.Stop();
        fs::remove_all(home);
    }};
    if (asDaemonUser) {
        ASSERT_EQ(Wait(Spawn({"true"}, home.string(), server.Name, asDaemonUser)), 0) << "runuser cannot run a command as " << DaemonUser;
    }

    // The daemon answers once it is up; a bound, not a budget. Once, on a freshly set up machine, the
    // daemon went quiet after its banner and never answered, though it came up at every start after;
    // so it gets a second start (what the first printed stays in the output file).
    bool up = false;
    for (int start = 0; start < 2 && !up; ++start) {
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            Wait(daemon);
        }
        daemon = Spawn({"xscreensaver", "-no-splash", "-verbose"}, home.string(), server.Name, asDaemonUser);
        ASSERT_GT(daemon, 0);
        bool ended = false;
        for (int attempt = 0; attempt < 150 && !up && !ended; ++attempt) {
            up = command("-time") == 0;
            ended = !up && waitpid(daemon, nullptr, WNOHANG) == daemon;
            if (!up)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (ended)
            daemon = -1;
    }
    ASSERT_TRUE(up) << "the daemon did not start";
    Display *display = XOpenDisplay(server.Name.c_str());
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(command("-activate"), 0);

    // The scene: the screen is drawn and animates.
    bool animates = false;
    std::vector<std::uint32_t> previous = Sample(display);
    for (int attempt = 0; attempt < 60 && !animates; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::vector<std::uint32_t> now = Sample(display);
        animates = now != previous && now != std::vector<std::uint32_t>(now.size(), 0);
        previous = now;
    }
    EXPECT_TRUE(animates) << "the scene shows on the screen";
    const std::vector<pid_t> running = ProcessesOf(program.string());
    EXPECT_EQ(running.size(), 1u);

    EXPECT_EQ(command("-deactivate"), 0);
    bool gone = false;
    for (int attempt = 0; attempt < 100 && !gone; ++attempt) {
        gone = ProcessesOf(program.string()).empty();
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(gone) << "the daemon ended the program";

    XCloseDisplay(display);
}

} // namespace
} // namespace Halcyra
