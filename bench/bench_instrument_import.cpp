// Reading other levels' files against the floor of reading the file at all
// (`wc -l`), in the same run.
//
// Writes a GSI-16 and an M5 file of 1,000,000 readings each: 250,000
// second-order stations (back-fore-fore-back) in lines of 25 stations, each
// station followed by the instrument's own results, which agree with the
// readings so that the cross-check runs in full but reports nothing. Times
// `wc -l`, mapping the file into memory, and ReadInstrumentFile on those
// bytes (parse, stations, gaps, cross-check), wall and CPU time, best of
// five. Run a Release build.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "import/instrument_file.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadings = 1'000'000;
constexpr int kStationsPerLine = 25;
constexpr int kRuns = 5;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One station's readings and distances (10^-5 m) in the order B1 F1 F2 B2,
// chosen so that both height differences are whole and differ by 2.
struct Station {
    long long b1, f1, f2, b2;
    long long db1, df1, df2, db2;
};

Station MakeStation(int n) {
    Station s{};
    s.b1 = 120000 + n % 40000;
    s.f1 = 110000 + (n * 7) % 40000;
    s.f2 = s.f1 + 3;
    s.b2 = s.b1 + 1;
    s.db1 = 2000000 + (n % 500) * 1000;
    s.db2 = s.db1 + 200;
    s.df1 = 2100000 + (n % 400) * 1000;
    s.df2 = s.df1 + 200;
    return s;
}

// The instrument's running values, kept as it would.
struct Running {
    long long height = 10000000;
    long long diffSum = 0;
    long long distanceDiff = 0;
    long long length = 0;
    long long back = 0;
    long long fore = 0;

    void Add(const Station& s) {
        const long long h1 = s.b1 - s.f1;
        const long long h2 = s.b2 - s.f2;
        diffSum += h1 - h2;
        height += (h1 + h2) / 2;
        const long long mb = (s.db1 + s.db2) / 2;
        const long long mf = (s.df1 + s.df2) / 2;
        distanceDiff += mb - mf;
        length += mb + mf;
        back += mb;
        fore += mf;
    }
};

std::string Gsi16(const char* head, long long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%c%016lld", head, value < 0 ? '-' : '+',
                  value < 0 ? -value : value);
    return buf;
}

std::string GsiPoint(int address, int point) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "11%04d+%016d", address % 10000, point);
    return buf;
}

std::uintmax_t WriteGsi16(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    int address = 0;
    int point = 0;
    const char* heads[] = {"331..8", "332..8", "336..8", "335..8"};
    for (int station = 0; station < kReadings / 4;) {
        char start[8];
        std::snprintf(start, sizeof start, "41%04d", ++address % 10000);
        out << '*' << Gsi16(start, 2) << " \r\n";
        out << '*' << GsiPoint(++address, point) << ' ' << Gsi16("83...8", 10000000) << " \r\n";
        Running run;
        for (int k = 0; k < kStationsPerLine && station < kReadings / 4; ++k, ++station) {
            const Station s = MakeStation(station);
            const long long readings[] = {s.b1, s.f1, s.f2, s.b2};
            const long long distances[] = {s.db1, s.df1, s.df2, s.db2};
            const int points[] = {point, point + 1, point + 1, point};
            for (int i = 0; i < 4; ++i) {
                out << '*' << GsiPoint(++address, points[i]) << ' ' << Gsi16("32...8", distances[i])
                    << ' ' << Gsi16(heads[i], readings[i]) << " \r\n";
            }
            run.Add(s);
            ++point;
            out << '*' << GsiPoint(++address, point) << ' '
                << Gsi16("571..8", (s.b1 - s.f1) - (s.b2 - s.f2)) << ' '
                << Gsi16("572..8", run.diffSum) << ' ' << Gsi16("573..8", run.distanceDiff) << ' '
                << Gsi16("574..8", run.length) << ' ' << Gsi16("83...8", run.height) << " \r\n";
        }
    }
    out.close();
    return std::filesystem::file_size(path);
}

std::string Metres(long long units, int decimals) {
    // units in 10^-5 m; the values written here are exact at `decimals`.
    char buf[32];
    const long long scale = decimals == 5 ? 1 : 100;
    const long long v = units / scale;
    const long long div = decimals == 5 ? 100000 : 1000;
    std::snprintf(buf, sizeof buf, "%s%lld.%0*lld", v < 0 ? "-" : "", (v < 0 ? -v : v) / div,
                  decimals, (v < 0 ? -v : v) % div);
    return buf;
}

std::string M5Block(const char* type, const std::string& value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%-2s%14s %-5s|", type, value.c_str(), "m");
    return buf;
}

const std::string kEmptyBlock = std::string(22, ' ') + "|";

void M5Line(std::ofstream& out, int adr, const char* type, const std::string& info,
            const std::string& b1 = kEmptyBlock, const std::string& b2 = kEmptyBlock) {
    char head[64];
    std::snprintf(head, sizeof head, "For M5|Adr %5d|%-4s%-27s|", adr % 100000, type, info.c_str());
    out << head << b1 << b2 << kEmptyBlock << "\r\n";
}

std::string M5Info(int point, int line, const char* time) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "P%-7d     %-8s %5d", point, time, line % 100000);
    return buf;
}

std::uintmax_t WriteM5(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    int adr = 0;
    int point = 0;
    int line = 0;
    const char* types[] = {"Rb", "Rf", "Rf", "Rb"};
    for (int station = 0; station < kReadings / 4;) {
        ++line;
        M5Line(out, ++adr, "TO", "Start-Line BFFB");
        M5Line(out, ++adr, "KD1", M5Info(point, line, ""), M5Block("Z", Metres(10000000, 5)));
        Running run;
        for (int k = 0; k < kStationsPerLine && station < kReadings / 4; ++k, ++station) {
            const Station s = MakeStation(station);
            const long long readings[] = {s.b1, s.f1, s.f2, s.b2};
            const long long distances[] = {s.db1, s.df1, s.df2, s.db2};
            const int points[] = {point, point + 1, point + 1, point};
            for (int i = 0; i < 4; ++i) {
                M5Line(out, ++adr, "KD1", M5Info(points[i], line, "08:15:30"),
                       M5Block(types[i], Metres(readings[i], 5)),
                       M5Block("HD", Metres(distances[i], 3)));
            }
            run.Add(s);
            ++point;
            M5Line(out, ++adr, "KD1", M5Info(point, line, ""),
                   M5Block("Sh", Metres((s.b1 - s.f1) - (s.b2 - s.f2), 5)),
                   M5Block("Z", Metres(run.height, 5)));
            M5Line(out, ++adr, "KD1", M5Info(point, line, ""), M5Block("Db", Metres(run.back, 3)),
                   M5Block("Df", Metres(run.fore, 3)));
        }
        M5Line(out, ++adr, "TO", "End-Line");
    }
    out.close();
    return std::filesystem::file_size(path);
}

// CPU time (user + system) of this process or of its finished children, ms.
// On a busy machine wall time mostly measures the other processes; the CPU
// time of each side is the fairer comparison, and both are printed.
double CpuMillis(int who) {
    rusage u{};
    getrusage(who, &u);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

struct Times {
    double wall = 1e300;
    double cpu = 1e300;
};

Times TimeWc(const std::filesystem::path& path) {
    const std::string cmd = "wc -l < '" + path.string() + "' > /dev/null";
    Times best;
    for (int i = 0; i < kRuns; ++i) {
        const double c0 = CpuMillis(RUSAGE_CHILDREN);
        const auto t0 = Clock::now();
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "wc failed\n");
        best.wall = std::min(best.wall, Millis(Clock::now() - t0));
        best.cpu = std::min(best.cpu, CpuMillis(RUSAGE_CHILDREN) - c0);
    }
    return best;
}

void Run(const char* label, const std::filesystem::path& path, std::uintmax_t size) {
    const Times wc = TimeWc(path);
    Times read;   // the file mapped into memory
    Times parse;  // ReadInstrumentFile on those bytes
    Times total;  // both, in the same run
    std::size_t lines = 0;
    std::size_t stations = 0;
    std::size_t messages = 0;
    const auto keep = [](Times& best, double wall, double cpu) {
        best.wall = std::min(best.wall, wall);
        best.cpu = std::min(best.cpu, cpu);
    };
    for (int i = 0; i < kRuns; ++i) {
        const double c0 = CpuMillis(RUSAGE_SELF);
        const auto t0 = Clock::now();
        // The bytes as a caller can hand them over: the file mapped from
        // the page cache. (Reading it into fresh memory costs a page fault
        // per 4 KiB, which on a virtual machine can cost more than the
        // parse.)
        const int fd = open(path.c_str(), O_RDONLY);
        void* const map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        close(fd);
        if (map == MAP_FAILED) {
            std::perror("mmap");
            std::exit(1);
        }
        const std::string_view bytes(static_cast<const char*>(map), size);
        const double c1 = CpuMillis(RUSAGE_SELF);
        const auto t1 = Clock::now();
        const lorvex::InstrumentFile file = lorvex::ReadInstrumentFile(bytes);
        const double c2 = CpuMillis(RUSAGE_SELF);
        const auto t2 = Clock::now();
        munmap(map, size);
        keep(read, Millis(t1 - t0), c1 - c0);
        keep(parse, Millis(t2 - t1), c2 - c1);
        keep(total, Millis(t2 - t0), c2 - c0);
        lines = file.lines.size();
        stations = 0;
        for (const auto& l : file.lines) stations += l.stations.size();
        messages = file.messages.size();
    }
    const double mb = static_cast<double>(size) / (1024.0 * 1024.0);
    std::printf("%s: %.1f MiB, %zu lines, %zu stations, %zu messages\n", label, mb, lines, stations,
                messages);
    std::printf("  wc -l          %8.1f ms wall %8.1f ms CPU\n", wc.wall, wc.cpu);
    const auto row = [&](const char* what, const Times& t) {
        std::printf("  %-14s%8.1f ms wall %8.1f ms CPU  (%.1fx / %.1fx wc -l)\n", what, t.wall,
                    t.cpu, t.wall / wc.wall, t.cpu / wc.cpu);
    };
    row("map file", read);
    row("parse", parse);
    row("map + parse", total);
    std::printf("  (each the best of %d runs)\n", kRuns);
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path();
    const auto gsi = dir / "lorvex_bench_levelling.gsi";
    const auto m5 = dir / "lorvex_bench_levelling.dat";
    Run("GSI-16 file, 1,000,000 readings", gsi, WriteGsi16(gsi));
    Run("M5 file, 1,000,000 readings", m5, WriteM5(m5));
    if (std::getenv("LORVEX_BENCH_KEEP")) return 0;
    std::filesystem::remove(gsi);
    std::filesystem::remove(m5);
    return 0;
}
