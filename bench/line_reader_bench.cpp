// SPDX-License-Identifier: MIT
// Reads a generated joint attribute file of about 100 MB line by line, as the
// converter does (tool_read_line(stream, NULL, 7, 1) and tool_free per line),
// once plain and once gzip-compressed (level 6). The files live in a temporary directory
// that is removed when the program ends.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTargetBytes = 100u * 1000u * 1000u;

// One block of joint-like text: values, comments of every kind, blank lines.
std::string text_block(int joint) {
    const std::string n = std::to_string(joint);
    return "joint " + n + "\n" + "shear_force 12.5" + n + " kN\n" +
           "axial_force -3.25 kN // tension\n" + "bending_moment 7.125 kNm\n" + "# checked " + n +
           "\n" + "\n" + "/* load case\n   combination " + n + " */\n" + "torsion 0.5\r\n";
}

class BenchFiles {
  public:
    BenchFiles()
        : dir_(fs::temp_directory_path() /
               ("joint2si-bench-" + std::to_string(std::random_device{}()))) {
        fs::create_directories(dir_);
        std::ofstream plain(plain_path(), std::ios::binary);
        gzFile gz = gzopen(gzip_path().c_str(), "wb6");
        if (!plain || gz == nullptr) {
            throw std::runtime_error("cannot create the benchmark files");
        }
        for (int joint = 0; text_bytes_ < kTargetBytes; ++joint) {
            const std::string block = text_block(joint);
            plain << block;
            gzwrite(gz, block.data(), static_cast<unsigned>(block.size()));
            text_bytes_ += block.size();
        }
        gzclose(gz);
    }
    ~BenchFiles() {
        std::error_code error;
        fs::remove_all(dir_, error);
    }
    BenchFiles(const BenchFiles &) = delete;
    BenchFiles &operator=(const BenchFiles &) = delete;

    std::string plain_path() const { return (dir_ / "joints.jnt").string(); }
    std::string gzip_path() const { return (dir_ / "joints.jnt.gz").string(); }
    std::size_t text_bytes() const { return text_bytes_; }

  private:
    fs::path dir_;
    std::size_t text_bytes_ = 0;
};

const BenchFiles &bench_files() {
    static const BenchFiles files;
    return files;
}

void read_every_line(benchmark::State &state, const std::string &path) {
    long lines = 0;
    for (auto _ : state) {
        ToolStream stream = tool_fopen(path.c_str(), "r+");
        if (stream == nullptr) {
            state.SkipWithError("cannot open the benchmark file");
            return;
        }
        while (char *line = tool_read_line(stream, nullptr, 7, 1)) {
            ++lines;
            tool_free(line, __FILE__, __LINE__);
        }
        if (tool_ferror(stream) != 0) {
            state.SkipWithError("the stream reported an error");
        }
        tool_fclose(&stream);
    }
    state.SetBytesProcessed(static_cast<long long>(state.iterations()) *
                            static_cast<long long>(bench_files().text_bytes()));
    state.counters["lines"] = static_cast<double>(lines) / static_cast<double>(state.iterations());
}

void BM_ReadLinesPlain(benchmark::State &state) {
    read_every_line(state, bench_files().plain_path());
}

void BM_ReadLinesGzip(benchmark::State &state) {
    read_every_line(state, bench_files().gzip_path());
}

// For scale: the same plain file read with one locked stdio fgetc per byte and
// nothing else.
void BM_StdioFgetcBaseline(benchmark::State &state) {
    long lines = 0;
    for (auto _ : state) {
        std::FILE *file = std::fopen(bench_files().plain_path().c_str(), "rb");
        int c = 0;
        while ((c = std::fgetc(file)) != EOF) {
            lines += c == '\n' ? 1 : 0;
        }
        std::fclose(file);
    }
    benchmark::DoNotOptimize(lines);
    state.SetBytesProcessed(static_cast<long long>(state.iterations()) *
                            static_cast<long long>(bench_files().text_bytes()));
}

} // namespace

// Throughput is taken from CPU time: the machines these run on are shared.
BENCHMARK(BM_ReadLinesPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLinesGzip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioFgetcBaseline)->Unit(benchmark::kMillisecond);
