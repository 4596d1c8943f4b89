// The section table as a workbook, through libxlsxwriter.

#include <xlsxwriter.h>

#include "sections/section_table.h"

namespace lorvex {

namespace {

// Closes the workbook (which writes it) unless handed over.
struct WorkbookCloser {
    lxw_workbook* workbook;
    ~WorkbookCloser() {
        if (workbook != nullptr) workbook_close(workbook);
    }
};

// Columns 0-based: 距离 and 高差 are numbers with their table's decimals,
// the 序号, 测站数 and 超限测站 whole numbers, the rest text.
constexpr lxw_col_t kLengthColumn = 6;
constexpr lxw_col_t kHeightColumn = 7;

}  // namespace

bool XlsxSupported() { return true; }

bool WriteSectionXlsx(const std::vector<SectionRow>& rows, const std::filesystem::path& path,
                      std::string& error) {
    return WriteFileWhole(
        path,
        [&rows, &path](const std::filesystem::path& temporary, std::string& why) {
            lxw_workbook* workbook = workbook_new(temporary.string().c_str());
            if (workbook == nullptr) {
                why = "cannot write " + path.string();
                return false;
            }
            WorkbookCloser closer{workbook};
            lxw_worksheet* sheet = workbook_add_worksheet(workbook, "测段高差表");
            lxw_format* heading = workbook_add_format(workbook);
            format_set_bold(heading);
            format_set_align(heading, LXW_ALIGN_CENTER);
            format_set_bottom(heading, LXW_BORDER_THIN);
            lxw_format* length = workbook_add_format(workbook);
            format_set_num_format(length, "0.000");
            lxw_format* height = workbook_add_format(workbook);
            format_set_num_format(height, "0.00000");
            lxw_format* whole = workbook_add_format(workbook);
            format_set_num_format(whole, "0");

            const std::vector<std::string> headings = SectionHeadings();
            for (std::size_t c = 0; c < headings.size(); ++c) {
                worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), headings[c].c_str(),
                                       heading);
            }
            worksheet_freeze_panes(sheet, 1, 0);
            worksheet_set_column(sheet, 0, 0, 6, nullptr);
            worksheet_set_column(sheet, 1, 3, 14, nullptr);
            worksheet_set_column(sheet, 4, 5, 8, nullptr);
            worksheet_set_column(sheet, kLengthColumn, kHeightColumn, 12, nullptr);
            worksheet_set_column(sheet, 8, 11, 10, nullptr);
            worksheet_set_column(sheet, 12, 13, 24, nullptr);

            lxw_row_t r = 1;
            for (const SectionRow& row : rows) {
                const std::vector<std::string> cells = SectionCells(row);
                worksheet_write_number(sheet, r, 0, static_cast<double>(row.line + 1), whole);
                for (std::size_t c = 1; c < cells.size(); ++c) {
                    const auto col = static_cast<lxw_col_t>(c);
                    if (!row.stop && col == kLengthColumn) {
                        worksheet_write_number(sheet, r, col, row.lengthKm, length);
                    } else if (!row.stop && col == kHeightColumn) {
                        worksheet_write_number(sheet, r, col, row.heightM, height);
                    } else if (!row.stop && col == 5) {
                        worksheet_write_number(sheet, r, col, static_cast<double>(row.stations),
                                               whole);
                    } else if (!row.stop && col == 11) {
                        worksheet_write_number(sheet, r, col,
                                               static_cast<double>(row.flaggedStations), whole);
                    } else if (row.pair && col == 8) {
                        // Numbers, not texts, so a spreadsheet can sort and sum them.
                        worksheet_write_number(sheet, r, col,
                                               static_cast<double>(row.pair->line + 1), whole);
                    } else if (row.pair && col == 9) {
                        worksheet_write_number(
                            sheet, r, col, static_cast<double>(row.pair->comparison.wMicro) / 1e6,
                            nullptr);
                    } else if (row.pair && col == 10 && row.pair->comparison.checked) {
                        worksheet_write_number(
                            sheet, r, col,
                            static_cast<double>(row.pair->comparison.limitMicro) / 1e6, nullptr);
                    } else if (!cells[c].empty()) {
                        worksheet_write_string(sheet, r, col, cells[c].c_str(), nullptr);
                    }
                }
                ++r;
            }
            closer.workbook = nullptr;
            const lxw_error result = workbook_close(workbook);
            if (result != LXW_NO_ERROR) {
                why = "cannot write " + path.string() + ": " + lxw_strerror(result);
                return false;
            }
            return true;
        },
        error);
}

}  // namespace lorvex
