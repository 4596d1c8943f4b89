// The drawing module of a build without the report engine: workbooks only;
// a record book is answered as the window answers a report it cannot make.

#include "base/messages.h"
#include "base/strings.h"
#include "cli_drawing_module.h"

namespace lorvex::cli {
namespace {

class NoBookSet final : public BookSet {
  public:
    void Add(std::string, const PreparedReport&) override { ++m_lines; }
    BookSetResult Write(const std::filesystem::path&, const std::filesystem::path&,
                        MessageSink& sink) override {
        sink.Show(MessageFromId(IDS_NO_REPORT));
        BookSetResult result;
        result.firstPages.assign(m_lines, 0);
        result.pageCounts.assign(m_lines, 0);
        result.reasons.assign(m_lines, {});
        return result;
    }

  private:
    std::size_t m_lines = 0;
};

class NoReportDrawing final : public Drawing {
  public:
    bool DrawsRecordBooks() const override { return false; }

    bool WriteRecordBook(LevellingGrade, const LineCheck*, const std::string*,
                         const std::filesystem::path&, const std::filesystem::path&,
                         MessageSink& sink) override {
        sink.Show(MessageFromId(IDS_NO_REPORT));
        return false;
    }

    bool WriteRecordBookFrom(const ReportRows&, const std::optional<LineCheck>&,
                             const std::filesystem::path&, MessageSink& sink) override {
        sink.Show(MessageFromId(IDS_NO_REPORT));
        return false;
    }

    std::unique_ptr<BookSet> StartBookSet() override { return std::make_unique<NoBookSet>(); }

    bool WriteSectionXlsx(const std::vector<SectionRow>& rows, const std::filesystem::path& out,
                          std::string& error) override {
        return WriteXlsxGuarded(rows, out, error);
    }
};

}  // namespace
}  // namespace lorvex::cli

LORVEX_DRAWING_EXPORT lorvex::cli::Drawing* lorvex_cli_drawing_v1() {
    static lorvex::cli::NoReportDrawing drawing;
    return &drawing;
}
