#pragma once

// A day's measurement file for tests and benchmarks: many second-order
// lines in a chain (line k runs from P<k> to P<k+1>), each station observed
// back-fore-fore-back or fore-back-back-fore in turn, with readings a level could give.

#include <random>
#include <string>
#include <vector>

#include "levelling/number_text.h"

namespace lorvex::test {

struct GeneratedLine {
    std::string name;
    std::string from;
    std::string to;
    int stations = 0;
};

// The lines of a chain of count lines of stations stations each, named
// "L1", "L2", ...
inline std::vector<GeneratedLine> ChainOfLines(int count, int stations) {
    std::vector<GeneratedLine> lines;
    for (int k = 1; k <= count; ++k) {
        lines.push_back({"L" + std::to_string(k), "P" + std::to_string(k),
                         "P" + std::to_string(k + 1), stations});
    }
    return lines;
}

// The .mdt text (CRLF line ends) of lines; seed varies the readings.
inline std::string ManyLinesMdt(const std::vector<GeneratedLine>& lines, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> reading(0.8, 2.4), distance(15.0, 48.0),
        noise(-0.0003, 0.0003);
    std::string file = "PtID Code Reading Distance Time No Mode\r\n";
    int number = 0;
    for (const GeneratedLine& line : lines) {
        file += "@" + line.name + " Line 2026-03-07 08:00:00 0 0 107\r\n";
        for (int s = 0; s < line.stations; ++s) {
            const std::string tag = line.name + "_" + std::to_string(s);
            const std::string back = s == 0 ? line.from : "T" + tag;
            const std::string fore =
                s + 1 == line.stations ? line.to : "T" + line.name + "_" + std::to_string(s + 1);
            // Back and fore sights nearly equal, as the limits on their
            // difference ask.
            const double b = reading(rng), f = reading(rng), db = distance(rng),
                         df = db + noise(rng) * 3000.0;
            auto record = [&](const std::string& point, const char* code, double r, double d) {
                file += point + " " + code + " " + FormatFixed(r, 5) + " " + FormatFixed(d, 2) +
                        " 08:00:00 " + std::to_string(++number) + " 107\r\n";
            };
            // Odd stations fore-back-back-fore, as second order alternates.
            if (s % 2 == 0) {
                record(back, "B", b, db);
                record(fore, "F", f, df);
                record(fore, "F", f + noise(rng), df + 0.02);
                record(back, "B", b + noise(rng), db - 0.01);
            } else {
                record(fore, "F", f, df);
                record(back, "B", b, db);
                record(back, "B", b + noise(rng), db - 0.01);
                record(fore, "F", f + noise(rng), df + 0.02);
            }
        }
    }
    return file;
}

}  // namespace lorvex::test
