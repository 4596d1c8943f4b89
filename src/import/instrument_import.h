#pragma once

// A measurement file of any level we read, into the line store: the format
// is told by content (a .txt or .dat may be any of them). An .mdt goes
// through its own reader exactly as before; a GSI or M5 file is read whole
// and its instrument lines become store lines, one each, in file order.

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "base/grade.h"
#include "base/messages.h"
#include "import/instrument_file.h"
#include "import/line_store.h"
#include "import/measurement_reader.h"

namespace lorvex {

struct AnyFileImport {
    ImportResult result;  // opened, and a read error or the 100-line limit
    // The instrument's lines as read, for a GSI or M5 file; null for an .mdt.
    std::unique_ptr<InstrumentFile> instrument;
};

// Looks at the file's first bytes, then reads it the way its format needs.
// For a GSI or M5 file the store is left empty: the caller fills it with
// FillInstrumentLines once the grade is known.
AnyFileImport ImportAnyFile(const std::filesystem::path& path, LineStore& store);
AnyFileImport ReadAnyFile(ByteSource& source, std::string_view displayPath, LineStore& store);

// Rebuilds the store from an instrument file's lines, each line's records
// written for the grade (its method code, its order of sights). Returns
// IDS_TOO_MANY_LINES when the file has more lines than the store holds.
std::optional<UserMessage> FillInstrumentLines(const InstrumentFile& file, LevellingGrade grade,
                                               LineStore& store);

// Whether an instrument line's stations have one reading each way (BF,
// aBF): no record book of ours takes them.
bool HasSingleReadingStations(const InstrumentLine& line);

}  // namespace lorvex
