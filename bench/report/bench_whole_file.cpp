// A day's file at once: 40 lines of 50 stations each, through lorvex-cli's
// `report --all --pdf` (every record book in one PDF, the last line into the
// database) and `sections --xlsx`. Prints the best of a few runs; never
// gates CI. Runs in a private data folder and ODBC configuration.

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
#include <vector>

#include "cli.h"
#include "many_lines.h"

namespace {

double BestSeconds(const std::vector<std::string>& args, int runs) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        std::ostringstream out, err;
        const auto start = std::chrono::steady_clock::now();
        const int code = lorvex::cli::Run(args, out, err);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (code != 0) {
            std::fprintf(stderr, "%s exited %d\n%s\n", args[0].c_str(), code, err.str().c_str());
            std::exit(1);
        }
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 40;
    const int stations = argc > 2 ? std::atoi(argv[2]) : 50;
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("lorvex-bench-whole-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    const std::string file = (dir / "day.mdt").string();
    std::ofstream(file, std::ios::binary)
        << lorvex::test::ManyLinesMdt(lorvex::test::ChainOfLines(lines, stations));
    {
        std::ostringstream out, err;
        lorvex::cli::Run({"install-data"}, out, err);
    }
    const double pdf =
        BestSeconds({"report", file, "--all", "--pdf", (dir / "all.pdf").string()}, 3);
    const double xlsx =
        BestSeconds({"sections", file, "--xlsx", (dir / "sections.xlsx").string()}, 5);
    std::printf("%d lines x %d stations\n", lines, stations);
    std::printf("report --all --pdf: %.3f s (goal < 2 s), %ju bytes\n", pdf,
                static_cast<std::uintmax_t>(fs::file_size(dir / "all.pdf")));
    std::printf("sections --xlsx:    %.3f s (goal < 0.5 s)\n", xlsx);
    fs::remove_all(dir);
    return 0;
}
