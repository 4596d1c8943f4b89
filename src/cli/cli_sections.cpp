// lorvex-cli sections: the section table (测段高差表) of a whole file for the
// adjustment, as JSON and, when asked, as CSV or a workbook.

#include <string>
#include <vector>

#include "cli_drawing.h"
#include "cli_session.h"
#include "sections/section_table.h"

namespace lorvex::cli {

namespace {

Json PairJson(const SectionPair& pair) {
    const RunComparison& c = pair.comparison;
    return Json{{"line", pair.line + 1},
                {"rule", RuleId(c.rule)},
                {"w_mm", std::stod(c.w)},
                {"limit_mm", c.checked ? Json(std::stod(c.limit)) : Json(nullptr)},
                {"holds", c.holds}};
}

Json SectionJson(const SectionRow& row) {
    Json entry{{"line", row.line + 1}, {"name", row.name}};
    if (row.stop) {
        entry["error"] = row.stop->text;
        return entry;
    }
    Json flags = Json::array();
    for (const Flag& flag : row.flags) flags.push_back(FlagJson(flag));
    entry["start"] = row.start;
    entry["end"] = row.end;
    entry["grade"] = row.grade;
    entry["stations"] = row.stations;
    entry["length_km"] = row.lengthKm;
    entry["height_m"] = row.heightM;
    entry["flags"] = std::move(flags);
    entry["flagged_stations"] = row.flaggedStations;
    entry["pair"] = row.pair ? PairJson(*row.pair) : Json(nullptr);
    return entry;
}

}  // namespace

int RunSections(Session& s) {
    if (auto code = s.Import()) return *code;
    s.LoadLimits();
    const LevellingSession& levelling = s.Levelling();
    const std::vector<SectionRow> rows = BuildSectionTable(levelling, levelling.Header());
    Json sections = Json::array();
    bool computed = false;
    for (const SectionRow& row : rows) {
        s.Show(row.messages);
        if (row.stop) s.Show(*row.stop);
        computed = computed || !row.stop;
        sections.push_back(SectionJson(row));
    }
    if (rows.empty()) s.Show(MessageFromId(IDS_NO_LINES));
    // A table without a single section is no table: nothing is written.
    if (!computed) {
        return s.Print(Json{{"sections", std::move(sections)}, {"messages", s.MessagesJson()}},
                       kExitStopped);
    }
    const CliOptions& o = s.Options();
    std::string error;
    // Workbooks are written by the drawing module, loaded only for them.
    auto writeXlsx = [&rows, &error](const std::string& path) {
        Drawing* drawing = LoadDrawing(error);
        return drawing != nullptr && drawing->WriteSectionXlsx(rows, path, error);
    };
    const bool written = o.csv    ? WriteSectionCsv(rows, *o.csv, error)
                         : o.xlsx ? writeXlsx(*o.xlsx)
                                  : true;
    Json document{{"sections", std::move(sections)}, {"messages", s.MessagesJson()}};
    if (!written) {
        s.Complain(error);
        document["error"] = error;
        return s.Print(std::move(document), kExitNoAccess);
    }
    return s.Print(std::move(document), kExitOk);
}

}  // namespace lorvex::cli
