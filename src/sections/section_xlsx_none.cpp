// Builds without libxlsxwriter (the Windows cross build) write no workbooks.

#include "sections/section_table.h"

namespace lorvex {

bool XlsxSupported() { return false; }

bool WriteSectionXlsx(const std::vector<SectionRow>&, const std::filesystem::path&,
                      std::string& error) {
    error = "this build writes no XLSX workbooks";
    return false;
}

}  // namespace lorvex
