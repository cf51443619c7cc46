// An X server of a test's own: nothing another test leaves on a shared server (the keyboard focus,
// the pointer's place, windows of tests running beside it) reaches it, and the test can end it.
#pragma once

#include "linux/Spawn.h"

#include <signal.h>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace Halcyra::Testing {

// Name is empty when no server could be started.
class TOwnXServer {
public:
    // Extra arguments go to Xvfb ("-ac" lets clients of other users in); a launcher runs it (for
    // example as another user).
    explicit TOwnXServer(const std::vector<std::string> &extraArguments = {}, const std::vector<std::string> &launcher = {})
    {
        // The server picks a free display itself and writes its number to the pipe: two tests that
        // start servers at the same moment cannot both take the same one.
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return;
        std::vector<std::string> words = {"Xvfb", "-displayfd", std::to_string(pipeEnds[1]), "-screen", "0",
                                          "1024x768x24", "-nolisten", "tcp"};
        words.insert(words.end(), extraArguments.begin(), extraArguments.end());
        words.insert(words.begin(), launcher.begin(), launcher.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        const pid_t pid = SpawnCommand(words, &actions, environ);
        const bool spawned = pid > 0;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        std::string number;
        char c = 0;
        // Read until the line ends or the server ends (a failed server closes the pipe).
        while (spawned && read(pipeEnds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(pipeEnds[0]);
        if (!spawned)
            return;
        FPid = pid;
        if (number.empty())
            Stop();
        else
            Name = ":" + number;
    }
    ~TOwnXServer() { Stop(); }

    void Stop()
    {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
    }

    std::string Name;

private:
    pid_t FPid = -1;
};

// A server of the test process's own, started at the first call and made its DISPLAY, for a test
// that reads back what its windows show: a window of a test running beside it on a shared server
// could cover them. It lives as long as the process, as SDL's video keeps its connection to the end.
// False when no server could be started.
inline bool UseProcessXServer()
{
    static TOwnXServer server;
    if (server.Name.empty())
        return false;
    setenv("DISPLAY", server.Name.c_str(), 1);
    return true;
}

} // namespace Halcyra::Testing
