// The config reader on files of 1 KiB, 1 MiB and 64 MiB, the sought line last,
// against reading the same file whole and counting its lines.
#include "bench/ratio.h"
#include "devsupport/process_scratch.h"
#include "gozsupport/config.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& ConfigFile(size_t size) {
    static std::map<size_t, std::string> files;
    auto found = files.find(size);
    if (found != files.end())
        return found->second;
    const std::filesystem::path& dir = goztest::ProcessScratchFolder("goz_bench_");
    std::string path = (dir / ("config_" + std::to_string(size) + ".txt")).string();
    std::string content;
    const std::string last = "PATH = \"C:\\Program Files\\Quiltara\\Quiltara.exe\"\r\n";
    for (int i = 0; content.size() + last.size() < size; ++i)
        content += "Setting" + std::to_string(i) + " = " + std::to_string(i * 7) + "\r\n";
    content += last;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(content.data(), 1, content.size(), file) != content.size())
        std::abort();
    std::fclose(file);
    return files[size] = path;
}

void ReadConfig(benchmark::State& state) {
    const std::string& path = ConfigFile(static_cast<size_t>(state.range(0)));
    char value[1024];
    for (auto _ : state) {
        if (!ReadConfigString(path.c_str(), "PATH", value, sizeof value))
            state.SkipWithError("PATH not found");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// What any reader of the whole file must do at least: read it and find its lines.
void RawScan(benchmark::State& state) {
    const std::string& path = ConfigFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::fseek(file, 0, SEEK_END);
        long size = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        std::vector<char> data(static_cast<size_t>(size));
        size_t got = std::fread(data.data(), 1, data.size(), file);
        std::fclose(file);
        size_t lines = 0;
        for (const char* p = data.data();
             (p = static_cast<const char*>(
                  std::memchr(p, '\n', got - static_cast<size_t>(p - data.data())))) != nullptr;
             ++p)
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

const int registered = [] {
    for (auto* bench : {benchmark::RegisterBenchmark("ReadConfig", ReadConfig),
                        benchmark::RegisterBenchmark("RawScan", RawScan)})
        bench->Arg(1 << 10)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMicrosecond);
    gozbench::CompareWith("ReadConfig", "RawScan");
    return 0;
}();

} // namespace
