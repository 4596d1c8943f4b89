// Whole-process figures of lorvex-cli against their baselines, each taken in
// the same run with the processes interleaved (the machine may be busy; the
// ratios are what to compare):
//   import only   `show FILE --line 1`, line 1 small, 1M records, ASCII and
//                 GBK names and points, against `wc -l FILE`;
//   lines         `lines FILE` of the ASCII file against `wc -l FILE`, and its
//                 peak memory against the file's size;
//   compute       `compute FILE --line 1` of a 100,000-station line: time and
//                 peak memory.
// With --baseline OTHER-CLI every command also runs on that program (an
// earlier build), and the ratio of the two is printed.
//
//   bench_cli [--runs N] [--baseline PATH] [--only import|lines|compute]

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Sample {
    double ms;
    double peakMb;
};

// Runs argv with stdout and stderr thrown away; its wall time and peak
// resident memory (the child's own, from wait4).
Sample RunProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)) {
        std::fprintf(stderr, "%s ended with status %d\n", args[0].c_str(), status);
    }
    return {ms, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

struct Stats {
    double min, median, max;
};

Stats Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

void PrintStats(const char* label, const std::vector<double>& v, const char* unit) {
    const Stats s = Of(v);
    std::printf("  %-22s min %9.1f  median %9.1f  max %9.1f %s\n", label, s.min, s.median, s.max,
                unit);
}

// Interleaves the commands, runs times each, and prints every figure, the
// medians' ratios to the first command, and the peak memory.
void Compare(const char* title,
             const std::vector<std::pair<std::string, std::vector<std::string>>>& commands,
             int runs, double fileMb) {
    std::printf("%s\n", title);
    std::vector<std::vector<double>> times(commands.size()), peaks(commands.size());
    for (int r = 0; r < runs; ++r) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            const Sample s = RunProcess(commands[c].second);
            times[c].push_back(s.ms);
            peaks[c].push_back(s.peakMb);
        }
    }
    for (std::size_t c = 0; c < commands.size(); ++c)
        PrintStats(commands[c].first.c_str(), times[c], "ms");
    const double base = Of(times[0]).median;
    for (std::size_t c = 1; c < commands.size(); ++c) {
        std::printf("  %-22s %.2fx %s (medians)\n", commands[c].first.c_str(),
                    Of(times[c]).median / base, commands[0].first.c_str());
    }
    if (commands.size() > 2) {
        // The last two are the program and its baseline.
        std::printf("  %-22s %.2fx the baseline (medians)\n", commands[1].first.c_str(),
                    Of(times[1]).median / Of(times[2]).median);
    }
    for (std::size_t c = 1; c < commands.size(); ++c) {
        const double peak = Of(peaks[c]).max;
        std::printf("  %-22s peak memory %.1f MiB", commands[c].first.c_str(), peak);
        if (fileMb > 0) std::printf(" = %.2fx the file (%.1f MiB)", peak / fileMb, fileMb);
        std::printf("\n");
    }
}

// A million records in lines of about 11,000, the first of them small (the
// one `show` prints), fourth-order stations; gbk names lines and points in
// Chinese so that the whole file is decoded.
double WriteImportFile(const fs::path& path, bool gbk) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror("fopen");
        std::exit(1);
    }
    std::fputs("PtID Code Reading Distance Time No Mode\r\n", f);
    const char* linePrefix = gbk ? "\xCF\xDF\xC2\xB7" : "L";  // 线路
    const char* pointPrefix = gbk ? "\xB5\xE3" : "P";         // 点
    int record = 0;
    for (int line = 0; record < 1'000'000; ++line) {
        std::fprintf(f, "@%s%d 2024 05 06 08 30 00\r\n", linePrefix, line);
        const int size = line == 0 ? 40 : 11112;
        for (int k = 0; k < size && record < 1'000'000; ++k, ++record) {
            const int station = k / 4;
            const int sight = k % 4;
            std::fprintf(f, "%s%d-%d %s %.5f %.3f 0 0 %s\r\n", pointPrefix, line,
                         station + (sight >= 2 ? 1 : 0), sight < 2 ? "B" : "F",
                         1.0 + (record % 90000) * 1e-5, 20.0 + (record % 3000) * 1e-3,
                         line % 2 == 0 ? "105" : "106");
        }
    }
    std::fclose(f);
    return static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
}

// One second-order line of `stations` stations, back-fore-fore-back and
// fore-back-back-fore alternating.
double WriteComputeFile(const fs::path& path, int stations) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror("fopen");
        std::exit(1);
    }
    std::fputs("@LONG Line 2026-03-07 08:10:00 0 0 107\r\n", f);
    for (int i = 0; i < stations; ++i) {
        const int v = i % 977;
        const double back = 1.23456 + v * 1e-5, fore = 0.65432 - v * 1e-5;
        const double db = 25.31 + v * 0.01, df = 24.87 + v * 0.02;
        char b1[96], b2[96], f1[96], f2[96];
        std::snprintf(b1, sizeof b1, "BM%d B %.5f %.2f 08:11:00 1 107\r\n", i, back, db);
        std::snprintf(b2, sizeof b2, "BM%d B %.5f %.2f 08:11:00 1 107\r\n", i, back + 5e-5,
                      db + 0.01);
        std::snprintf(f1, sizeof f1, "BM%d F %.5f %.2f 08:11:00 1 107\r\n", i + 1, fore, df);
        std::snprintf(f2, sizeof f2, "BM%d F %.5f %.2f 08:11:00 1 107\r\n", i + 1, fore - 3e-5,
                      df + 0.01);
        if (i % 2 == 0) {
            std::fprintf(f, "%s%s%s%s", b1, f1, f2, b2);
        } else {
            std::fprintf(f, "%s%s%s%s", f1, b1, b2, f2);
        }
    }
    std::fclose(f);
    return static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string baseline;
    std::string only;
    std::string keep;  // a folder the generated files are written to and left in
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--baseline" && i + 1 < argc) {
            baseline = fs::absolute(argv[++i]).string();
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = fs::absolute(argv[++i]).string();
        } else {
            std::fprintf(stderr,
                         "usage: bench_cli [--runs N] [--baseline PATH] "
                         "[--only import|lines|compute] [--keep DIR]\n");
            return 2;
        }
    }
    const std::string cli = LORVEX_CLI;
    const fs::path scratch =
        fs::temp_directory_path() / ("lorvex-bench-cli-" + std::to_string(::getpid()));
    // With --keep the measured files stay there, to profile the same input.
    const fs::path dir = keep.empty() ? scratch : fs::path(keep);
    fs::create_directories(dir);
    fs::create_directories(scratch);
    // The limits are read from the data folder: an empty one of our own.
    setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);
    const std::string wc = "/usr/bin/wc";

    auto commands = [&](const std::string& name, std::vector<std::string> args,
                        const std::string& file, bool withWc) {
        std::vector<std::pair<std::string, std::vector<std::string>>> list;
        if (withWc) list.push_back({"wc -l", {wc, "-l", file}});
        std::vector<std::string> ours{cli};
        ours.insert(ours.end(), args.begin(), args.end());
        list.push_back({name, ours});
        if (!baseline.empty()) {
            std::vector<std::string> theirs{baseline};
            theirs.insert(theirs.end(), args.begin(), args.end());
            list.push_back({name + " (baseline)", theirs});
        }
        return list;
    };

    std::printf("load average at start: ");
    if (std::FILE* load = std::fopen("/proc/loadavg", "r")) {
        char text[64] = {};
        if (std::fgets(text, sizeof text, load)) std::fputs(text, stdout);
        std::fclose(load);
    }
    if (only.empty() || only == "import" || only == "lines") {
        const std::string ascii = (dir / "ascii.mdt").string();
        const double mb = WriteImportFile(ascii, false);
        if (only.empty() || only == "import") {
            Compare("import only: show --line 1, 1M records ASCII",
                    commands("show", {"show", ascii, "--line", "1"}, ascii, true), runs, mb);
        }
        if (only.empty() || only == "lines") {
            Compare("lines, 1M records ASCII", commands("lines", {"lines", ascii}, ascii, true),
                    runs, mb);
        }
        if (keep.empty()) fs::remove(ascii);
    }
    if (only.empty() || only == "import") {
        const std::string gbk = (dir / "gbk.mdt").string();
        const double mb = WriteImportFile(gbk, true);
        Compare("import only: show --line 1, 1M records, GBK names and points",
                commands("show", {"show", gbk, "--line", "1"}, gbk, true), runs, mb);
        if (keep.empty()) fs::remove(gbk);
    }
    if (only.empty() || only == "compute") {
        const std::string line = (dir / "long.mdt").string();
        const double mb = WriteComputeFile(line, 100'000);
        Compare("compute, 100,000 stations (whole process)",
                commands("compute", {"compute", line, "--line", "1"}, line, true), runs, mb);
    }
    fs::remove_all(scratch);
    return 0;
}
