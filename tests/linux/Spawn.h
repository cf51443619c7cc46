// Starting a helper program for a test: the X server, the daemon and its commands, the program itself.
#pragma once

#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Halcyra::Testing {

// Starts words[0] (looked up on PATH unless it holds a slash) with the other words as its arguments;
// returns its process, or -1 when it could not be started. Does not wait.
inline pid_t SpawnCommand(std::vector<std::string> words, const posix_spawn_file_actions_t *actions, char *const *environment)
{
    std::vector<char *> argv;
    for (auto &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (words.empty() || posix_spawnp(&pid, words[0].c_str(), actions, nullptr, argv.data(), environment) != 0)
        return -1;
    return pid;
}

} // namespace Halcyra::Testing
