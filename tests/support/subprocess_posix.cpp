#include "tests/support/subprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace goztest {

namespace {

int32_t ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2000 - WTERMSIG(status);
}

} // namespace

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
    result.exitCode = ExitCodeOf(status);
    return result;
}

std::string WithNewlines(const std::string& text) {
    return text;
}

std::string NativePath(const std::string& path) {
    return path;
}

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0)
        id = static_cast<uint32_t>(child);
}

BackgroundProgram::~BackgroundProgram() {
    kill();
}

bool BackgroundProgram::running() {
    if (id == 0 || code)
        return false;
    int status = 0;
    pid_t got = waitpid(static_cast<pid_t>(id), &status, WNOHANG);
    if (got == 0 || (got < 0 && errno == EINTR))
        return true;
    code = got > 0 ? ExitCodeOf(status) : -1000;
    return false;
}

void BackgroundProgram::kill() {
    if (!running())
        return;
    ::kill(static_cast<pid_t>(id), SIGKILL);
    int status = 0;
    while (waitpid(static_cast<pid_t>(id), &status, 0) < 0 && errno == EINTR) {
    }
    code = ExitCodeOf(status);
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
