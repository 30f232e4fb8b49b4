#include "tests/support/subprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace goztest {

RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    RunResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        result.exitCode = -1000;
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    // Only standard output may keep the pipe open: a program that the child
    // leaves running in the background would otherwise hold it by a stray copy.
    if (pipeEnds[1] != STDOUT_FILENO)
        posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = 0;
    int failed = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed == 0) {
        char chunk[4096];
        ssize_t got = 0;
        while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
            if (got > 0)
                result.output.append(chunk, static_cast<size_t>(got));
        }
    }
    close(pipeEnds[0]);
    if (failed != 0) {
        result.exitCode = -1000;
        return result;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -2000 - WTERMSIG(status);
    return result;
}

std::vector<uint32_t> ProcessesUnder(const std::filesystem::path& folder) {
    const std::string prefix = folder.string() + "/";
    std::vector<uint32_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::error_code unreadable;
        std::string image = std::filesystem::read_symlink(entry.path() / "exe", unreadable);
        if (!unreadable && image.rfind(prefix, 0) == 0)
            found.push_back(static_cast<uint32_t>(std::stoul(entry.path().filename().string())));
    }
    return found;
}

void KillProcess(uint32_t id) {
    kill(static_cast<pid_t>(id), SIGKILL);
}

std::filesystem::path MakeTemporaryFolder() {
    char pattern[] = "/tmp/goz-XXXXXX"; // a socket path must fit a sockaddr_un
    return mkdtemp(pattern) ? pattern : "";
}

const std::vector<std::string> kTemporaryFolderVariables = {"TMPDIR"};

std::string SystemPath(const std::string& path) {
    return path;
}

std::string WithNewlines(const std::string& text) {
    return text;
}

} // namespace goztest

namespace goztest {

struct RunningProgram::State {
    pid_t child = 0;
    int input = -1; // write end of the child's standard input
};

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& arguments)
    : state(std::make_unique<State>()) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // posix_spawn returns once the child runs the new image.
    int failed =
        posix_spawn(&state->child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    if (failed != 0) {
        state->child = 0;
        close(pipeEnds[1]);
        return;
    }
    state->input = pipeEnds[1];
}

RunningProgram::~RunningProgram() {
    if (state->child > 0)
        kill(state->child, SIGKILL);
    stop();
}

bool RunningProgram::started() const {
    return state->child > 0;
}

uint32_t RunningProgram::processId() const {
    return static_cast<uint32_t>(state->child);
}

int32_t RunningProgram::stop() {
    if (state->input >= 0) {
        close(state->input);
        state->input = -1;
    }
    if (state->child <= 0)
        return -1000;
    int status = 0;
    while (waitpid(state->child, &status, 0) < 0 && errno == EINTR) {
    }
    state->child = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2000 - WTERMSIG(status);
}

ScopedEnvironment::ScopedEnvironment(const std::string& variable, const std::string& value)
    : name(variable) {
    if (const char* current = std::getenv(name.c_str()))
        old = current;
    setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (old)
        setenv(name.c_str(), old->c_str(), 1);
    else
        unsetenv(name.c_str());
}

} // namespace goztest
