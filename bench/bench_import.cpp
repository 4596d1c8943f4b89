// Import speed against the floor of reading the file at all (`wc -l`).
//
// Writes a measurement file of a million records (fourth-order stations,
// 90 line-start records, that is one every ~11,000 records so that the store's
// 100 lines hold the whole file, five dual-run lines, some records carrying
// another line's method code), then times `wc -l` on it and the
// import, and reports peak memory against the file size. Run a Release build.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "import/measurement_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRecords = 1'000'000;
constexpr int kRecordsPerLine = 11112;  // 90 lines, 95 after dual-run splitting
constexpr int kRuns = 5;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// lineName(i) gives the name of line i; GBK bytes make the reader convert.
template <typename NameFn>
std::uintmax_t WriteFile(const std::filesystem::path& path, NameFn lineName) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror("fopen");
        std::exit(1);
    }
    std::fputs("PtID Code Reading Distance a b Mode\r\n", f);
    char buf[128];
    int line = 0;
    for (int r = 0; r < kRecords; ++line) {
        std::fprintf(f, "@%s 2024 05 06 08 30 00\r\n", lineName(line).c_str());
        const bool dual = line % 20 == 7;  // five dual-run lines
        const char* code = line % 2 == 0 ? "105" : "106";
        const char* other = line % 2 == 0 ? "106" : "105";
        for (int k = 0; k < kRecordsPerLine && r < kRecords; ++k, ++r) {
            // Fourth order sights back, back, fore, fore: points pair up.
            // A dual-run line returns to its start point every station.
            const int station = k / 4;
            const int sight = k % 4;
            const int point = dual ? (sight == 0 || sight == 3 ? 0 : station + 1)
                                   : station + (sight >= 2 ? 1 : 0);
            const bool foreign = line > 0 && k % 97 == 50;
            const int n = std::snprintf(buf, sizeof buf, "P%d-%d %s %.5f %.3f 0 0 %s\r\n", line,
                                        point, sight < 2 ? "B" : "F", 1.0 + (r % 90000) * 1e-5,
                                        20.0 + (r % 3000) * 1e-3, foreign ? other : code);
            std::fwrite(buf, 1, static_cast<std::size_t>(n), f);
        }
    }
    std::fclose(f);
    return std::filesystem::file_size(path);
}

double TimeWc(const std::filesystem::path& path) {
    const std::string cmd = "wc -l < '" + path.string() + "' > /dev/null";
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = Clock::now();
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "wc failed\n");
        best = std::min(best, Millis(Clock::now() - t0));
    }
    return best;
}

double TimeImport(const std::filesystem::path& path, std::size_t* lines, std::size_t* records) {
    double best = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        lorvex::LineStore store;
        const auto t0 = Clock::now();
        const lorvex::ImportResult result = lorvex::ImportMeasurementFile(path, store);
        best = std::min(best, Millis(Clock::now() - t0));
        if (!result.opened || result.message) std::fprintf(stderr, "import reported a problem\n");
        *lines = store.LineCount();
        *records = 0;
        for (std::size_t l = 0; l < store.LineCount(); ++l) *records += store.RecordCount(l);
    }
    return best;
}

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

void Run(const char* label, const std::filesystem::path& path, std::uintmax_t size) {
    const double wc = TimeWc(path);
    std::size_t lines = 0;
    std::size_t records = 0;
    const double import = TimeImport(path, &lines, &records);
    const double mb = static_cast<double>(size) / (1024.0 * 1024.0);
    std::printf("%s: %.1f MiB, %zu lines, %zu records\n", label, mb, lines, records);
    std::printf("  wc -l   %8.1f ms\n", wc);
    std::printf("  import  %8.1f ms  (%.1fx wc -l, best of %d)\n", import, import / wc, kRuns);
    std::printf("  peak RSS so far %.1f MiB = %.2fx file size\n", PeakRssMb(), PeakRssMb() / mb);
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path();
    const auto ascii = dir / "lorvex_bench_ascii.mdt";
    const auto gbk = dir / "lorvex_bench_gbk.mdt";

    const auto asciiSize =
        WriteFile(ascii, [](int i) { return std::string("L").append(std::to_string(i)); });
    std::printf("peak RSS before import %.1f MiB\n", PeakRssMb());
    Run("ASCII file", ascii, asciiSize);

    // Line names in Chinese (GBK "线路"): the whole file goes through iconv.
    const auto gbkSize = WriteFile(
        gbk, [](int i) { return std::string("\xCF\xDF\xC2\xB7").append(std::to_string(i)); });
    Run("GBK file", gbk, gbkSize);

    if (std::getenv("LORVEX_BENCH_KEEP")) return 0;
    std::filesystem::remove(ascii);
    std::filesystem::remove(gbk);
    return 0;
}
