#include "sections/section_table.h"

#include <fstream>
#include <random>
#include <system_error>
#include <utility>

#include "base/strings.h"
#include "levelling/number_text.h"
#include "levelling/quality_texts.h"
#include "session/levelling_session.h"

namespace lorvex {

namespace {

// The other run of a section: a dual-run line's other half, else the first
// other line levelled between the same two points (go and back, or a repeat
// run). A line that starts where it ends (a loop) pairs with nothing.
std::optional<std::size_t> PairOf(const LevellingSession& session,
                                  const std::vector<SectionRow>& rows, std::size_t i) {
    const SectionRow& row = rows[i];
    if (const auto partner = session.DualRunPartnerOf(i)) {
        return rows[*partner].stop ? std::nullopt : partner;
    }
    if (row.start.empty() || row.end.empty() || row.start == row.end) return std::nullopt;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const SectionRow& other = rows[j];
        if (j == i || other.stop || other.grade != row.grade) continue;
        if (session.DualRunPartnerOf(j)) continue;
        const bool same = other.start == row.start && other.end == row.end;
        const bool reversed = other.start == row.end && other.end == row.start;
        if (same || reversed) return j;
    }
    return std::nullopt;
}

// A field as RFC 4180 writes it: quoted when it holds a quote, a comma or a
// line break, with its quotes doubled.
void AppendCsvField(std::string& out, const std::string& field) {
    if (field.find_first_of("\",\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        AppendCsvField(out, fields[i]);
    }
    out += "\r\n";
}

std::string FlagsText(const std::vector<Flag>& flags) {
    std::string text;
    for (const Flag& flag : flags) {
        if (!text.empty()) text += QcMessage(QcText::PartSeparator);
        text += TextsOf(flag.rule).remark;
    }
    return text;
}

}  // namespace

std::vector<SectionRow> BuildSectionTable(const LevellingSession& session,
                                          const ReportHeader& header) {
    std::vector<SectionRow> rows(session.LineCount());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SectionRow& row = rows[i];
        row.line = i;
        row.name = session.LineName(i);
        LevellingSession::LineReport report = session.PrepareLineReport(i, header);
        row.messages = std::move(report.messages);
        const PreparedReport& prepared = report.prepared;
        if (prepared.stop) {
            row.stop = prepared.stop;
            continue;
        }
        row.start = prepared.rows.result.sStationSt;
        row.end = prepared.rows.result.sStationEn;
        row.grade = prepared.rows.grade;
        row.stations = prepared.rows.observations.size();
        row.lengthKm = prepared.rows.result.dDis_Go;
        row.heightM = prepared.rows.result.HeightAvg;
        if (prepared.check) {
            row.flags = prepared.check->line;
            row.flaggedStations = prepared.check->FlaggedStations();
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].stop) continue;
        const auto j = PairOf(session, rows, i);
        if (!j) continue;
        const LineComparison compared = session.CompareLines(i, *j);
        if (!compared.stop) rows[i].pair = SectionPair{*j, compared.comparison};
    }
    return rows;
}

std::string GradeText(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return LoadString(IDS_GRADE_NAME_SECOND);
        case GradeThird:
            return LoadString(IDS_GRADE_NAME_THIRD);
        case GradeFourth:
            return LoadString(IDS_GRADE_NAME_FOURTH);
        default:
            return {};
    }
}

std::vector<std::string> SectionHeadings() {
    return {"序号",     "线路名称", "起点",     "终点",          "等级",
            "测站数",   "距离(km)", "高差(m)",  "对照线路",      "较差(mm)",
            "限差(mm)", "超限测站", "线路检核", "不能计算的原因"};
}

std::vector<std::string> SectionCells(const SectionRow& row) {
    std::vector<std::string> cells{std::to_string(row.line + 1), row.name};
    if (row.stop) {
        cells.resize(SectionHeadings().size());
        cells.back() = row.stop->text;
        return cells;
    }
    cells.push_back(row.start);
    cells.push_back(row.end);
    cells.push_back(GradeText(row.grade));
    cells.push_back(std::to_string(row.stations));
    cells.push_back(FormatFixed(row.lengthKm, 3));
    cells.push_back(FormatFixed(row.heightM, 5));
    if (row.pair) {
        const RunComparison& c = row.pair->comparison;
        cells.push_back(std::to_string(row.pair->line + 1));
        cells.push_back(c.w);
        cells.push_back(c.checked ? c.limit : std::string());
    } else {
        cells.insert(cells.end(), 3, std::string());
    }
    cells.push_back(std::to_string(row.flaggedStations));
    cells.push_back(FlagsText(row.flags));
    cells.emplace_back();
    return cells;
}

std::string SectionCsv(const std::vector<SectionRow>& rows) {
    std::string out = "\xEF\xBB\xBF";
    AppendCsvRecord(out, SectionHeadings());
    for (const SectionRow& row : rows) AppendCsvRecord(out, SectionCells(row));
    return out;
}

bool WriteFileWhole(const std::filesystem::path& target,
                    const std::function<bool(const std::filesystem::path&, std::string&)>& write,
                    std::string& error) {
    // Beside the target, so the rename stays on one file system.
    std::random_device random;
    std::filesystem::path temporary = target;
    std::error_code ec;
    for (int attempt = 0;; ++attempt) {
        temporary = target;
        temporary += ".part" + std::to_string(random() % 1000000);
        if (!std::filesystem::exists(temporary, ec) || attempt > 16) break;
    }
    if (!write(temporary, error)) {
        std::filesystem::remove(temporary, ec);
        if (error.empty()) error = "cannot write " + target.string();
        return false;
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        error = "cannot write " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool WriteSectionCsv(const std::vector<SectionRow>& rows, const std::filesystem::path& path,
                     std::string& error) {
    const std::string csv = SectionCsv(rows);
    return WriteFileWhole(
        path,
        [&csv, &path](const std::filesystem::path& temporary, std::string& why) {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (out) out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
            out.close();
            if (!out) {
                why = "cannot write " + path.string();
                return false;
            }
            return true;
        },
        error);
}

}  // namespace lorvex
