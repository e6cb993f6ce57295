#include "platform/ProgramStart.h"

#include <algorithm>
#include <mutex>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace torvex {

namespace {

std::mutex g_startedLock;
std::vector<pid_t> g_started;   // children not yet collected

void CollectEndedPrograms() {
    std::erase_if(g_started, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

} // namespace

bool StartProgramDetached(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> texts;
    texts.reserve(arguments.size() + 1);
    texts.push_back(program);
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (::posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    if (::posix_spawnattr_init(&attributes) != 0) {
        ::posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    bool ok = ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
              ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
              ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
              ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0;
    std::lock_guard<std::mutex> lock(g_startedLock);
    CollectEndedPrograms();
    pid_t pid = -1;
    ok = ok && ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(),
                             environ) == 0;
    if (ok) {
        g_started.push_back(pid);
    }
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    return ok;
}

} // namespace torvex
