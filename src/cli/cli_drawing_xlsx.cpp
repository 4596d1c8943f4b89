// Inside the drawing module: the section table as a workbook, for both
// builds of the module (libxlsxwriter is loaded with it, not with the
// program).

#include "cli_drawing_module.h"

namespace lorvex::cli {

bool WriteXlsxGuarded(const std::vector<SectionRow>& rows, const std::filesystem::path& out,
                      std::string& error) {
    try {
        return lorvex::WriteSectionXlsx(rows, out, error);
    } catch (const std::exception& e) {
        error = e.what();
    }
    return false;
}

}  // namespace lorvex::cli
