#include "tests/support/subprocess.h"

#include <windows.h>

#include <psapi.h>

#include <cctype>

namespace goztest {

namespace {

// Build-tree paths are POSIX paths; under Wine they live on drive Z.
std::string WindowsPath(const std::string& path) {
    std::string result = path;
    if (!result.empty() && result[0] == '/')
        result = "Z:" + result;
    for (char& c : result) {
        if (c == '/')
            c = '\\';
    }
    return result;
}

// Quotes one argument so that the C runtime's parser gives it back unchanged.
void AppendQuoted(std::string& line, const std::string& argument) {
    line += '"';
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

// The program and its arguments, each quoted, as one command line.
std::string CommandLine(const std::string& path, const std::vector<std::string>& arguments) {
    std::string line;
    AppendQuoted(line, path);
    for (const std::string& argument : arguments) {
        line += ' ';
        AppendQuoted(line, argument);
    }
    return line;
}

// Starts `program` with the given standard input and output, every inheritable
// handle inherited; the child's first thread handle is closed at once.
bool Start(const std::string& program, const std::vector<std::string>& arguments, HANDLE input,
           HANDLE output, PROCESS_INFORMATION& process) {
    std::string path = WindowsPath(program);
    std::string line = CommandLine(path, arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    return true;
}

} // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    RunResult result;

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        result.exitCode = -1000;
        return result;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    PROCESS_INFORMATION process{};
    bool started = Start(program, arguments, GetStdHandle(STD_INPUT_HANDLE), writeEnd, process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        result.exitCode = -1000;
        return result;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        result.output.append(chunk, got);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = static_cast<int32_t>(code);
    CloseHandle(process.hProcess);
    return result;
}

std::vector<uint32_t> ProcessesUnder(const std::filesystem::path& folder) {
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string prefix = lower(WindowsPath(folder.string()) + "\\");
    DWORD ids[4096];
    DWORD bytes = 0;
    std::vector<uint32_t> found;
    if (!K32EnumProcesses(ids, sizeof ids, &bytes))
        return found;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (process == nullptr)
            continue;
        char image[MAX_PATH];
        DWORD size = sizeof image;
        if (QueryFullProcessImageNameA(process, 0, image, &size) &&
            lower(image).rfind(prefix, 0) == 0)
            found.push_back(ids[i]);
        CloseHandle(process);
    }
    return found;
}

void KillProcess(uint32_t id) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr)
        return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

std::filesystem::path MakeTemporaryFolder() {
    static unsigned made = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path folder =
            std::filesystem::temp_directory_path() /
            ("goz-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
    }
    return {};
}

const std::vector<std::string> kTemporaryFolderVariables = {"TMP", "TEMP"};

std::string SystemPath(const std::string& path) {
    return WindowsPath(path);
}

std::string WithNewlines(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += "\r\n";
        else
            result += c;
    }
    return result;
}

} // namespace goztest

namespace goztest {

struct RunningProgram::State {
    HANDLE process = nullptr;
    HANDLE input = nullptr; // write end of the child's standard input
    uint32_t id = 0;
};

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& arguments)
    : state(std::make_unique<State>()) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    if (!CreatePipe(&readEnd, &state->input, &inherit, 0))
        return;
    SetHandleInformation(state->input, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process{};
    bool created = Start(program, arguments, readEnd, GetStdHandle(STD_OUTPUT_HANDLE), process);
    CloseHandle(readEnd);
    if (!created)
        return;
    state->process = process.hProcess;
    state->id = process.dwProcessId;
}

RunningProgram::~RunningProgram() {
    if (state->process)
        TerminateProcess(state->process, 1);
    stop();
}

bool RunningProgram::started() const {
    return state->process != nullptr;
}

uint32_t RunningProgram::processId() const {
    return state->id;
}

int32_t RunningProgram::stop() {
    if (state->input) {
        CloseHandle(state->input);
        state->input = nullptr;
    }
    if (!state->process)
        return -1000;
    WaitForSingleObject(state->process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(state->process, &code);
    CloseHandle(state->process);
    state->process = nullptr;
    return static_cast<int32_t>(code);
}

ScopedEnvironment::ScopedEnvironment(const std::string& variable, const std::string& value)
    : name(variable) {
    char current[32767];
    DWORD length = GetEnvironmentVariableA(name.c_str(), current, sizeof current);
    if (length > 0 && length < sizeof current)
        old = std::string(current, length);
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableA(name.c_str(), old ? old->c_str() : nullptr);
}

} // namespace goztest
