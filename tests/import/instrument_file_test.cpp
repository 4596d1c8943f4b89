#include "import/instrument_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "import/fields.h"
#include "import/instrument_lines.h"
#include "import/line_selection.h"
#include "import/measurement_reader.h"
#include "import/record_format.h"
#include "levelling/report_command.h"
#include "session/levelling_session.h"

namespace lorvex {
namespace {

// The four files hold the same two lines: A01-B02 (second order, back-fore-
// fore-back, three stations) and B02-C03 (alternating, an inverted staff on
// Q2, an intermediate sight on M1). make_levelling_files.py wrote them.
std::string Data(const std::string& name) {
    std::ifstream in(std::string(LORVEX_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> FileLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

std::vector<std::string> Fields(const std::string& record) {
    std::vector<std::string_view> views;
    SplitFields(record, views);
    return std::vector<std::string>(views.begin(), views.end());
}

bool AnyMessageHas(const std::vector<UserMessage>& messages, const std::string& part) {
    for (const UserMessage& m : messages) {
        if (m.text.find(part) != std::string::npos) return true;
    }
    return false;
}

std::string AllText(const std::vector<UserMessage>& messages) {
    std::string text;
    for (const UserMessage& m : messages) text += m.text + "\n";
    return text;
}

// The rows as the session keeps them: views of texts held elsewhere.
std::vector<std::string_view> Views(const std::vector<std::string>& texts) {
    return {texts.begin(), texts.end()};
}

bool IsIntermediate(const std::string& record) {
    return record.find(" 中视@ ") != std::string::npos;
}

std::vector<std::string> WithoutIntermediates(std::vector<std::string> records) {
    std::erase_if(records, IsIntermediate);
    return records;
}

ObservationTable Computed(const std::vector<std::string>& records, LevellingGrade grade) {
    const PreparedReport r = PrepareReport(1, Views(records), grade, ReportHeader{});
    EXPECT_FALSE(r.stop) << (r.stop ? r.stop->text : "");
    return r.rows.observations;
}

// A GSI word: index and information padded with '.', the units digit, the
// sign and the data right-aligned in zeros.
std::string Word(const std::string& head, long long value, int width = 16) {
    std::string data = std::to_string(value < 0 ? -value : value);
    return head + (value < 0 ? "-" : "+") + std::string(width - data.size(), '0') + data;
}

std::string PointWord(int address, const std::string& point, int width = 16) {
    char info[8];
    std::snprintf(info, sizeof info, "11%04d", address);
    return info + std::string("+") + std::string(width - point.size(), '0') + point;
}

// --- Detection ---------------------------------------------------------

TEST(DetectInstrumentFormat, ByContentAlone) {
    const struct {
        const char* name;
        std::string bytes;
        InstrumentFormat format;
    } cases[] = {
        {"gsi16", Data("levelling.gsi"), InstrumentFormat::Gsi16},
        {"gsi8", Data("levelling_gsi8.gsi"), InstrumentFormat::Gsi8},
        {"m5", Data("levelling.dat"), InstrumentFormat::M5},
        {"mdt", Data("levelling.mdt"), InstrumentFormat::Mdt},
        {"gsi16 after a byte-order mark and blank lines",
         "\xEF\xBB\xBF\r\n\n*110001+0000000000000A01 \r\n", InstrumentFormat::Gsi16},
        {"gsi16 words without the star", "110001+0000000000000A01\n", InstrumentFormat::Unknown},
        {"gsi8 word with a bad sign", "110001x00000A01\n", InstrumentFormat::Unknown},
        {"mdt behind a title line", "Levelling 2026\nA B 1.0 2.0 x y 105\n", InstrumentFormat::Mdt},
        {"empty", "", InstrumentFormat::Unknown},
        {"prose", "hello world\n", InstrumentFormat::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectInstrumentFormat(c.bytes), c.format) << c.name;
    }
}

// --- The same observations in four formats -------------------------------

TEST(InstrumentFile, FourFormatsGiveTheSameRecordsAndStations) {
    LineStore store;
    ReadMeasurementBytes(Data("levelling.mdt"), store);
    ASSERT_EQ(store.LineCount(), 2u);

    const struct {
        const char* file;
        InstrumentFormat format;
        bool hasTimes;
    } cases[] = {
        {"levelling.gsi", InstrumentFormat::Gsi16, false},
        {"levelling_gsi8.gsi", InstrumentFormat::Gsi8, false},
        {"levelling.dat", InstrumentFormat::M5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const InstrumentFile file = ReadInstrumentFile(Data(c.file));
        EXPECT_EQ(file.format, c.format);
        ASSERT_EQ(file.lines.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const InstrumentLine& line = file.lines[i];
            EXPECT_EQ(line.name, store.Name(i));
            const std::vector<std::string> mdt = store.Records(i);
            const std::vector<std::string> listed = InstrumentLineRecords(line, GradeSecond);
            // The intermediate sight on M1 is listed after station 2, as
            // taken; an .mdt cannot hold one. The rest is the .mdt's.
            const std::vector<std::string> ours = WithoutIntermediates(listed);
            EXPECT_EQ(listed.size() - ours.size(), i == 1 ? 1u : 0u);
            if (i == 1) {
                ASSERT_EQ(listed.size(), 13u);
                EXPECT_EQ(Fields(listed[8])[0] + " " + Fields(listed[8])[1], "M1 中视@");
                EXPECT_EQ(Fields(listed[8])[2], "1.23456");
                EXPECT_EQ(Computed(listed, GradeSecond), Computed(mdt, GradeSecond));
            }
            ASSERT_EQ(ours.size(), mdt.size());
            for (std::size_t r = 0; r < ours.size(); ++r) {
                std::vector<std::string> a = Fields(ours[r]);
                std::vector<std::string> b = Fields(mdt[r]);
                ASSERT_EQ(a.size(), 7u) << ours[r];
                if (!c.hasTimes) {
                    EXPECT_EQ(a[4], "--:--:--");
                    a[4] = b[4];
                }
                EXPECT_EQ(a, b);
            }
            EXPECT_EQ(Computed(ours, GradeSecond), Computed(mdt, GradeSecond));
        }
        // The instrument's results agree with ours: the only message is the
        // intermediate sight of the second line.
        EXPECT_EQ(file.lines[0].messages.size(), 0u) << AllText(file.lines[0].messages);
        ASSERT_EQ(file.lines[1].messages.size(), 1u) << AllText(file.lines[1].messages);
        EXPECT_EQ(file.lines[1].messages[0].text,
                  "线路 B02-C03：有 1 个中间视读数，已列出，但不参与测站计算。");
        EXPECT_EQ(file.messages.size(), 1u);
    }
}

TEST(InstrumentFile, HandCheckedStationsAndInstrumentResults) {
    const InstrumentFile file = ReadInstrumentFile(Data("levelling.gsi"));
    ASSERT_EQ(file.lines.size(), 2u);
    const InstrumentLine& a = file.lines[0];
    EXPECT_EQ(a.method, LevellingMethod::BFFB);
    EXPECT_EQ(a.startHeight, (InstrumentValue{10000000, 1}));
    ASSERT_EQ(a.stations.size(), 3u);
    // Station 1: B1 1.52341 F1 1.20112 F2 1.20108 B2 1.52349, so the height
    // differences are 0.32229 and 0.32241 m, their difference -0.12 mm and
    // the height reached 100 + 0.32235 m.
    EXPECT_EQ(a.stations[0].instrument.stationDifference, (InstrumentValue{-12, 1}));
    EXPECT_EQ(a.stations[0].instrument.height, (InstrumentValue{10032235, 1}));
    EXPECT_EQ(a.stations[0].instrument.lineLength, (InstrumentValue{5019000, 1}));
    const ObservationTable rows = Computed(InstrumentLineRecords(a, GradeSecond), GradeSecond);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].sFore_Back, "-12");
    EXPECT_EQ(rows[0].sFBI_Height, "322 29");
    EXPECT_EQ(rows[0].sH, "0322 35");
    EXPECT_EQ(rows[0].sDis_Back, "253");  // mean back distance 25.315 m
    EXPECT_EQ(rows[0].sDistance_Error, "0.4");

    // The inverted staff on Q2 reads negative, and stays so in the records.
    const InstrumentLine& b = file.lines[1];
    EXPECT_EQ(b.method, LevellingMethod::aBFFB);
    ASSERT_EQ(b.stations.size(), 3u);
    EXPECT_EQ(b.stations[1].order, "FBBF");
    const std::vector<std::string> records = InstrumentLineRecords(b, GradeSecond);
    EXPECT_EQ(records[4], "Q2 F -0.45210 30.100 --:--:-- 5 107");
    // Height differences 1.52004 + 0.45210 and 1.52010 + 0.45206.
    const ObservationTable rowsB = Computed(records, GradeSecond);
    EXPECT_EQ(rowsB[1].sFBI_Height, "1972 14");
    EXPECT_EQ(rowsB[1].sFore_Back, "-2");
    // The intermediate sight is listed, in no station.
    ASSERT_EQ(b.observations.size(), 13u);
    EXPECT_EQ(b.observations[8].kind, SightKind::Intermediate);
    EXPECT_EQ(b.observations[8].point, "M1");
    EXPECT_FALSE(b.observations[8].inStation);
}

TEST(InstrumentFile, EachGradeGetsItsRecordBookOrder) {
    const InstrumentFile file = ReadInstrumentFile(Data("levelling.dat"));
    const InstrumentLine& line = file.lines[1];  // alternating: station 2 fore first
    const struct {
        LevellingGrade grade;
        std::vector<std::string> station2;  // point and code of its four records
    } cases[] = {
        {GradeSecond, {"Q2 F", "Q1 B", "Q1 B", "Q2 F"}},
        {GradeThird, {"Q1 B", "Q2 F", "Q2 F", "Q1 B"}},
        {GradeFourth, {"Q1 B", "Q1 B", "Q2 F", "Q2 F"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grade);
        const std::vector<std::string> records = InstrumentLineRecords(line, c.grade);
        ASSERT_EQ(records.size(), 13u);
        EXPECT_TRUE(IsIntermediate(records[8]));  // after station 2 in every book order
        for (std::size_t k = 0; k < 4; ++k) {
            const std::vector<std::string> f = Fields(records[4 + k]);
            EXPECT_EQ(f[0] + " " + f[1], c.station2[k]);
            EXPECT_EQ(f[6], MethodCodeForGrade(c.grade));
        }
        // Line selection recognises the grade the records were written for,
        // and the report command accepts them.
        EXPECT_EQ(ShowLine(Views(records), GradeNone, "", "").grade, c.grade);
        EXPECT_FALSE(PrepareReport(1, Views(records), c.grade, ReportHeader{}).stop);
    }
}

// --- GSI words ------------------------------------------------------------

// A BF line of one station with the back reading's word given.
std::string OneStation(const std::string& backWord) {
    return Join(
        {"*" + Word("410001", 1),
         "*" + PointWord(2, "A") + " " + Word("32...8", 2000000) + " " + backWord,
         "*" + PointWord(3, "B") + " " + Word("32...8", 2000000) + " " + Word("332..8", 100000)});
}

TEST(GsiReader, UnitsDigit) {
    const struct {
        const char* head;
        long long data;
        std::int64_t reading;  // 10^-5 m; 0 when the station is left out
        const char* message;
    } cases[] = {
        {"331..0", 1523, 152300, nullptr},      // mm
        {"331..6", 15234, 152340, nullptr},     // 0.1 mm
        {"331..8", 152341, 152341, nullptr},    // 0.01 mm
        {"331..8", -152341, -152341, nullptr},  // inverted staff
        {"331..1", 4997, 0, "单位为英尺"},      // 0.001 ft
        {"331..7", 49970, 0, "单位为英尺"},     // 0.0001 ft
        {"331..3", 152341, 0, "单位代码“3”无法识别"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.head) + " " + std::to_string(c.data));
        const InstrumentFile file = ReadInstrumentFile(OneStation(Word(c.head, c.data)));
        ASSERT_EQ(file.lines.size(), 1u);
        const InstrumentLine& line = file.lines[0];
        if (c.message) {
            EXPECT_TRUE(line.stations.empty());
            EXPECT_TRUE(AnyMessageHas(file.messages, std::string("文件第 2 行：") + c.message))
                << AllText(file.messages);
        } else {
            ASSERT_EQ(line.stations.size(), 1u) << AllText(file.messages);
            EXPECT_EQ(line.observations[0].reading, c.reading);
            EXPECT_EQ(line.observations[0].distance, 2000000);
        }
    }
}

TEST(GsiReader, PointNamesLoseTheirPaddingAndLinesTheirRepeats) {
    // Three BF lines from 0025 to B: the names repeat.
    std::vector<std::string> lines;
    int address = 0;
    for (int i = 0; i < 3; ++i) {
        char start[8];
        std::snprintf(start, sizeof start, "41%04d", ++address);
        lines.push_back("*" + Word(start, 3));
        lines.push_back("*" + PointWord(++address, "0025") + " " + Word("32...8", 1) + " " +
                        Word("331..8", 1));
        lines.push_back("*" + PointWord(++address, "B") + " " + Word("32...8", 1) + " " +
                        Word("332..8", 1));
    }
    const InstrumentFile file = ReadInstrumentFile(Join(lines));
    ASSERT_EQ(file.lines.size(), 3u);
    EXPECT_EQ(file.lines[0].name, "25-B");
    EXPECT_EQ(file.lines[1].name, "25-B (2)");
    EXPECT_EQ(file.lines[2].name, "25-B (3)");
    EXPECT_EQ(file.lines[0].method, LevellingMethod::aBF);
}

std::string M5(int adr, const std::string& type, const std::string& info,
               const std::vector<std::string>& blocks = {}) {
    char head[64];
    std::snprintf(head, sizeof head, "For M5|Adr %5d|%-4s%-27s|", adr, type.c_str(), info.c_str());
    std::string line = head;
    for (std::size_t i = 0; i < 3; ++i) {
        line += i < blocks.size() ? blocks[i] : std::string(22, ' ');
        line += "|";
    }
    return line;
}

std::string M5Value(const std::string& type, const std::string& value, const char* unit = "m") {
    char block[32];
    std::snprintf(block, sizeof block, "%-2s%14s %-5s", type.c_str(), value.c_str(), unit);
    return block;
}

std::string M5Reading(int adr, const std::string& point, const std::string& type,
                      const std::string& value) {
    return M5(adr, "KD1", point + std::string(22 - point.size(), ' ') + "    1",
              {M5Value(type, value), M5Value("HD", "20.000")});
}

// --- Bad input --------------------------------------------------------------

// One change to a clean file: the line (1-based) replaced, or removed when
// the replacement is empty.
struct BadCase {
    const char* name;
    const char* file;
    std::size_t line;
    std::string (*change)(const std::string&);
    std::size_t stationsLeft;  // in the first instrument line
    const char* message;
};

TEST(InstrumentFile, BadInputLeavesOutOneStationAndSaysWhere) {
    const BadCase cases[] = {
        {"truncated word", "levelling.gsi", 5, [](const std::string& l) { return l.substr(0, 40); },
         2, "文件第 5 行：数据字不完整"},
        {"GSI-8 word in a GSI-16 file", "levelling.gsi", 4,
         [](const std::string&) {
             return std::string("110004+000000P1 32...8+02487000 332..8+00120112 ");
         },
         2, "文件第 4 行：GSI-16 文件中混有 GSI-8 数据字"},
        {"wrong units digit", "levelling.gsi", 3,
         [](const std::string& l) { return l.substr(0, 54) + "5" + l.substr(55); }, 2,
         "文件第 3 行：单位代码“5”无法识别"},
        {"feet", "levelling.gsi", 3,
         [](const std::string& l) { return l.substr(0, 54) + "7" + l.substr(55); }, 2,
         "文件第 3 行：单位为英尺"},
        {"missing 32 word", "levelling.gsi", 3,
         [](const std::string& l) { return l.substr(0, 25) + l.substr(49); }, 2,
         "文件第 3 行：读数缺少视距"},
        {"three of four readings", "levelling.gsi", 5,
         [](const std::string&) { return std::string(); }, 2,
         "文件第 3–5 行：测站只有 3 个读数，应有 4 个"},
        {"unreadable data", "levelling.gsi", 6,
         [](const std::string& l) { return l.substr(0, 60) + "x" + l.substr(61); }, 2,
         "文件第 6 行：数值"},
        {"M5 line shorter than its columns", "levelling.dat", 6,
         [](const std::string& l) { return l.substr(0, 60); }, 2,
         "文件第 6 行：记录行短于 M5 的固定列宽"},
        {"M5 feet", "levelling.dat", 5,
         [](const std::string& l) { return l.substr(0, 66) + "ft   " + l.substr(71); }, 2,
         "文件第 5 行：单位为英尺"},
        {"M5 reading without distance", "levelling.dat", 7,
         [](const std::string& l) { return l.substr(0, 72) + std::string(22, ' ') + l.substr(94); },
         2, "文件第 7 行：读数缺少视距"},
        {"M5 Station repeated at a line's start", "levelling.dat", 3,
         [](const std::string& l) { return M5(2, "TO", "Station repeated") + "\n" + l; }, 3,
         "文件第 3 行：线路开头出现“Station repeated”"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines = FileLines(Data(c.file));
        std::string changed = c.change(lines[c.line - 1]);
        if (changed.empty()) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(c.line - 1));
        } else {
            lines[c.line - 1] = changed;
        }
        const InstrumentFile file = ReadInstrumentFile(Join(lines));
        ASSERT_EQ(file.lines.size(), 2u);
        EXPECT_EQ(file.lines[0].stations.size(), c.stationsLeft);
        EXPECT_EQ(file.lines[1].stations.size(), 3u);  // nothing else lost
        EXPECT_TRUE(AnyMessageHas(file.lines[0].messages, c.message)) << AllText(file.messages);
        // A left-out station gives no records, and no value was made up:
        // every record is a reading of the file.
        EXPECT_EQ(InstrumentLineRecords(file.lines[0], GradeSecond).size(), 4 * c.stationsLeft);
        for (const InstrumentStation& s : file.lines[0].stations) {
            for (const std::int32_t i : s.sights) {
                ASSERT_GE(i, 0);
                EXPECT_TRUE(file.lines[0].observations[static_cast<std::size_t>(i)].inStation);
            }
        }
    }
}

TEST(InstrumentFile, DamagedIntermediateSightCostsNoStation) {
    // Line 30 is the intermediate sight on M1, in the middle of the second
    // line; without its distance it is dropped alone.
    std::vector<std::string> lines = FileLines(Data("levelling.gsi"));
    ASSERT_NE(lines[29].find("333..8"), std::string::npos);
    lines[29] = lines[29].substr(0, 25) + lines[29].substr(49);
    const InstrumentFile file = ReadInstrumentFile(Join(lines));
    ASSERT_EQ(file.lines.size(), 2u);
    EXPECT_EQ(file.lines[1].stations.size(), 3u);
    EXPECT_TRUE(AnyMessageHas(file.lines[1].messages, "文件第 30 行：读数缺少视距，此行已忽略。"))
        << AllText(file.messages);
    EXPECT_FALSE(AnyMessageHas(file.messages, "中间视"));
}

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string text) : m_text(std::move(text)) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, m_text.size() - m_pos);
        std::copy_n(m_text.data() + m_pos, n, buffer);
        m_pos += n;
        return n;
    }

  private:
    std::string m_text;
    std::size_t m_pos = 0;
};

// Renumbers the records' addresses (characters 4-7 of each GSI-16 line) one
// up from 1, as the instrument numbers what it writes.
std::string Renumbered(std::vector<std::string> lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        char address[16];
        std::snprintf(address, sizeof address, "%04d", static_cast<int>(i + 1));
        lines[i].replace(3, 4, address);
    }
    return Join(lines);
}

std::string IntermediateWord(const std::string& point) {
    return "*" + PointWord(0, point) + " " + Word("32...8", 1500000) + " " + Word("333..8", 98765);
}

// Point and sight code of each record.
std::vector<std::string> PointsAndCodes(const std::vector<std::string>& records) {
    std::vector<std::string> out;
    for (const std::string& r : records) {
        const std::vector<std::string> f = Fields(r);
        out.push_back(f[0] + " " + f[1]);
    }
    return out;
}

TEST(InstrumentFile, IntermediateSightsAreListedInFileOrderAndComputeNothing) {
    const std::vector<std::string> plain = FileLines(Data("levelling.gsi"));
    std::vector<std::string> lines = plain;
    // Into line A01-B02 (file lines 1-17): after the line's last station,
    // between stations 1 and 2, inside station 1 between its fore sights,
    // and before its first reading.
    lines.insert(lines.begin() + 17, IntermediateWord("X4"));
    lines.insert(lines.begin() + 7, IntermediateWord("X3"));
    lines.insert(lines.begin() + 4, IntermediateWord("X2"));
    lines.insert(lines.begin() + 2, IntermediateWord("X1"));
    const std::string withText = Renumbered(lines);
    const InstrumentFile with = ReadInstrumentFile(withText);
    const InstrumentFile without = ReadInstrumentFile(Join(plain));
    ASSERT_EQ(with.lines.size(), 2u);
    EXPECT_EQ(with.lines[0].name, "A01-B02");
    // No gap, no disagreement with the instrument: only the one message.
    ASSERT_EQ(with.lines[0].messages.size(), 1u) << AllText(with.lines[0].messages);
    EXPECT_EQ(with.lines[0].messages[0].text,
              "线路 A01-B02：有 4 个中间视读数，已列出，但不参与测站计算。");

    const std::string i = " 中视@";
    const std::vector<std::string> station2 = {"P1 B", "P2 F", "P2 F", "P1 B"};
    const std::vector<std::string> station3 = {"P2 B", "B02 F", "B02 F", "P2 B"};
    const auto join = [](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const struct {
        LevellingGrade grade;
        std::vector<std::string> listed;
    } cases[] = {
        {GradeSecond, join({{"X1" + i, "A01 B", "P1 F", "X2" + i, "P1 F", "A01 B", "X3" + i},
                            station2,
                            station3,
                            {"X4" + i}})},
        {GradeThird, join({{"X1" + i, "A01 B", "P1 F", "X2" + i, "P1 F", "A01 B", "X3" + i},
                           station2,
                           station3,
                           {"X4" + i}})},
        // The fourth-order book reads back, back, fore, fore: X2 follows
        // the two readings taken before it.
        {GradeFourth, join({{"X1" + i, "A01 B", "A01 B", "X2" + i, "P1 F", "P1 F", "X3" + i},
                            {"P1 B", "P1 B", "P2 F", "P2 F"},
                            {"P2 B", "P2 B", "B02 F", "B02 F"},
                            {"X4" + i}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grade);
        const std::vector<std::string> listed = InstrumentLineRecords(with.lines[0], c.grade);
        EXPECT_EQ(PointsAndCodes(listed), c.listed);
        EXPECT_EQ(WithoutIntermediates(listed), InstrumentLineRecords(without.lines[0], c.grade));
        EXPECT_EQ(InstrumentLineRecords(with.lines[1], c.grade),
                  InstrumentLineRecords(without.lines[1], c.grade));
        EXPECT_EQ(Computed(listed, c.grade),
                  Computed(InstrumentLineRecords(without.lines[0], c.grade), c.grade));
        // A back-fore-fore-back file offers second and third order only.
        if (c.grade == GradeFourth) continue;

        // Through the session, as the window and lorvex-cli show and compute
        // the line: the rows are listed, and grade, end points, computed
        // rows and checks are those of the line without them.
        LevellingSession a, b;
        MemorySource sa(withText), sb(Join(plain));
        a.ImportBytes(sa, "with.gsi");
        b.ImportBytes(sb, "without.gsi");
        ASSERT_TRUE(a.SetFileGrade(c.grade));
        ASSERT_TRUE(b.SetFileGrade(c.grade));
        EXPECT_TRUE(a.ClickLine(0).empty());
        EXPECT_TRUE(b.ClickLine(0).empty());
        ASSERT_EQ(a.DataRows().size(), c.listed.size());
        EXPECT_EQ(a.Grade(), b.Grade());
        EXPECT_EQ(a.Header().sStationStGo, "A01");
        EXPECT_EQ(a.Header().sStationEnGo, b.Header().sStationEnGo);
        const PreparedReport pa = a.PrepareReport();
        const PreparedReport pb = b.PrepareReport();
        ASSERT_FALSE(pa.stop) << pa.stop->text;
        ASSERT_FALSE(pb.stop) << pb.stop->text;
        EXPECT_EQ(pa.rows.observations, pb.rows.observations);
        EXPECT_EQ(pa.rows.result, pb.rows.result);
        ASSERT_TRUE(pa.check && pb.check);
        EXPECT_EQ(pa.check->stations.size(), pb.check->stations.size());
        EXPECT_EQ(pa.check->FlaggedStations(), pb.check->FlaggedStations());

        // Every station flagged (no sight of a kilometre): the marks land on
        // every station's rows, never on an intermediate row.
        LimitTable strict = BuiltInLimits();
        strict.Set(Rule::SightMin, c.grade, Limit{true, 1000000000, "test"});
        a.SetLimits(strict);
        const std::optional<RowMarks> marks = a.CheckRows();
        ASSERT_TRUE(marks);
        std::vector<std::size_t> marked;
        for (std::size_t row = 0; row < a.DataRows().size(); ++row) {
            if (marks->FlagsOfRow(row) != nullptr) marked.push_back(row);
        }
        EXPECT_EQ(marked, (std::vector<std::size_t>{1, 2, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14}));
    }
}

// --- Deleted and edited records -------------------------------------------

TEST(InstrumentFile, DeletedStationIsAGapAndACrossCheckMessageOnItsLineOnly) {
    const struct {
        const char* file;
        std::size_t first, count;  // file lines removed: station 2 and its results
        const char* gap;
    } cases[] = {
        {"levelling.gsi", 8, 5, "线路 A01-B02：第 2 站（P2–B02）处缺少地址 0008–0012 的记录"},
        {"levelling_gsi8.gsi", 8, 5, "线路 A01-B02：第 2 站（P2–B02）处缺少地址 0008–0012 的记录"},
        {"levelling.dat", 10, 6, "线路 A01-B02：第 2 站（P2–B02）处缺少地址 10–15 的记录"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> lines = FileLines(Data(c.file));
        const auto at = lines.begin() + static_cast<std::ptrdiff_t>(c.first - 1);
        lines.erase(at, at + static_cast<std::ptrdiff_t>(c.count));
        const InstrumentFile file = ReadInstrumentFile(Join(lines));
        ASSERT_EQ(file.lines.size(), 2u);
        const InstrumentLine& a = file.lines[0];
        EXPECT_EQ(a.stations.size(), 2u);
        EXPECT_TRUE(AnyMessageHas(a.messages, c.gap)) << AllText(a.messages);
        // The height reached no longer follows from the readings.
        EXPECT_TRUE(AnyMessageHas(a.messages, "线路 A01-B02 第 2 站（P2–B02）：高程与仪器不符"))
            << AllText(a.messages);
        EXPECT_FALSE(AnyMessageHas(file.lines[1].messages, "与仪器不符"));
    }
}

TEST(InstrumentFile, EditedReadingIsReportedBeyondTwoUnitsOfTheLastDigit) {
    const struct {
        int change;  // added to station 2's B2 reading, 0.01 mm
        bool stationDifference;
        bool height;
    } cases[] = {
        {0, false, false}, {2, false, false}, {-2, false, false}, {3, true, false},
        {5, true, false},  {7, true, true},   {-50, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        std::vector<std::string> lines = FileLines(Data("levelling.gsi"));
        std::string& b2 = lines[10];  // P1 335
        ASSERT_NE(b2.find("335..8+0000000000148826"), std::string::npos);
        b2.replace(b2.find("335..8"), 23, Word("335..8", 148826 + c.change));
        const InstrumentFile file = ReadInstrumentFile(Join(lines));
        const std::vector<UserMessage>& m = file.lines[0].messages;
        EXPECT_EQ(AnyMessageHas(m, "第 2 站（P1–P2）：两次高差之差与仪器不符"), c.stationDifference)
            << AllText(m);
        EXPECT_EQ(AnyMessageHas(m, "第 2 站（P1–P2）：高程与仪器不符"), c.height) << AllText(m);
        // Only the station where the edit is: the next one continues from
        // the instrument's height.
        EXPECT_FALSE(AnyMessageHas(m, "第 3 站"));
        EXPECT_TRUE(file.lines[1].messages.size() == 1u);
    }
    // The message names both values.
    std::vector<std::string> lines = FileLines(Data("levelling.gsi"));
    lines[10].replace(lines[10].find("335..8"), 23, Word("335..8", 148876));
    const InstrumentFile file = ReadInstrumentFile(Join(lines));
    EXPECT_TRUE(AnyMessageHas(file.messages,
                              "线路 A01-B02 第 2 站（P1–P2）：两次高差之差与仪器不符，"
                              "仪器记录 -0.11 mm，按读数计算 -0.61 mm。"))
        << AllText(file.messages);
}

// --- A day's file: many lines, a few of them edited ------------------------

// Readings and heights in 10^-5 m, distances in mm, as written as .mdt.
std::string Metres5Text(long long units) {
    char text[32];
    const long long a = units < 0 ? -units : units;
    std::snprintf(text, sizeof text, "%s%lld.%05lld", units < 0 ? "-" : "", a / 100000, a % 100000);
    return text;
}

std::string MillimetresText(long long mm) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", mm / 1000, mm % 1000);
    return text;
}

long long HalfAwayFromZero(long long twice) {
    return twice >= 0 ? (twice + 1) / 2 : -((-twice + 1) / 2);
}

// A GSI-16 file of a second-order day (BFFB, 0.01 mm readings) and the same
// observations as an .mdt, with the instrument's results worked out as the
// level writes them. Three lines are damaged the ways real files are: an
// edited reading (line 5), a deleted station (line 12, its records and
// results gone from both files) and an edited line length (line 28).
struct DayFiles {
    std::string gsi;
    std::string mdt;
    std::vector<std::size_t> stations;  // per line, as kept
};

DayFiles MakeDay(std::size_t lineCount) {
    DayFiles day;
    std::mt19937 random(20260307);
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    int address = 0;
    const auto gsiLine = [&](const std::string& words, bool kept = true) {
        ++address;  // a deleted record keeps its address
        if (kept) day.gsi += "*" + words + " \n";
    };
    const auto head = [&](const std::string& word) {
        char info[8];
        std::snprintf(info, sizeof info, "%04d", (address + 1) % 10000);
        return word.substr(0, 2) + info;
    };
    long long height = 5000000;  // 50 m at BM0
    for (std::size_t l = 0; l < lineCount; ++l) {
        const std::size_t stations = l % 28 + 1;
        const std::string start = "BM" + std::to_string(l);
        const std::string end = "BM" + std::to_string(l + 1);
        day.mdt += "@" + start + "-" + end + " Line 2026-03-07 08:00:00 0 0 107\n";
        gsiLine(Word(head("41"), 2));
        gsiLine(PointWord((address + 1) % 10000, start) + " " + Word("83...8", height));
        long long twiceHeight = 2 * height, differenceSum = 0, distanceSum = 0, length = 0;
        std::size_t number = 0, kept = 0;
        for (std::size_t s = 0; s < stations; ++s) {
            const std::string back = s == 0 ? start : start + "_" + std::to_string(s);
            const std::string fore = s + 1 == stations ? end : start + "_" + std::to_string(s + 1);
            const long long b1 = uniform(60000, 250000), f1 = uniform(60000, 250000);
            const long long b2 = b1 + uniform(-6, 6), f2 = f1 + uniform(-6, 6);
            const long long db1 = uniform(2000, 4500) * 10, df1 = db1 + uniform(-120, 120) * 10;
            const long long db2 = db1 + uniform(-2, 2) * 10, df2 = df1 + uniform(-2, 2) * 10;
            // What the instrument computed from the readings it took.
            differenceSum += (b1 - f1) - (b2 - f2);
            distanceSum += (db1 + db2 - df1 - df2) * 50;
            length += (db1 + db2 + df1 + df2) * 50;
            twiceHeight += (b1 - f1) + (b2 - f2);
            height = HalfAwayFromZero(twiceHeight);
            long long writtenLength = length;
            // What the file says now.
            long long b2Written = b2;
            if (l == 4 && s == 2) b2Written += 40;         // reading edited by 0.4 mm
            if (l == 27 && s == 9) writtenLength += 5000;  // length edited by 5 cm
            const bool deleted = l == 11 && s == 4;
            const std::pair<std::string, std::string> sights[] = {
                {back, "B"}, {fore, "F"}, {fore, "F"}, {back, "B"}};
            const long long readings[] = {b1, f1, f2, b2Written};
            const long long distances[] = {db1, df1, df2, db2};
            const char* words[] = {"331..8", "332..8", "336..8", "335..8"};
            for (std::size_t k = 0; k < 4; ++k) {
                gsiLine(PointWord((address + 1) % 10000, sights[k].first) + " " +
                            Word("32...8", distances[k] * 100) + " " + Word(words[k], readings[k]),
                        !deleted);
                if (!deleted) {
                    day.mdt += sights[k].first + " " + sights[k].second + " " +
                               Metres5Text(readings[k]) + " " + MillimetresText(distances[k]) +
                               " --:--:-- " + std::to_string(++number) + " 107\n";
                }
            }
            gsiLine(PointWord((address + 1) % 10000, fore) + " " +
                        Word("571..8", (b1 - f1) - (b2 - f2)) + " " +
                        Word("572..8", differenceSum) + " " + Word("573..8", distanceSum) + " " +
                        Word("574..8", writtenLength) + " " + Word("83...8", height),
                    !deleted);
            kept += deleted ? 0 : 1;
        }
        day.stations.push_back(kept);
    }
    return day;
}

TEST(InstrumentFile, ManyLinesOfADayReadAsTheMdtAndOnlyDamagedLinesAreReported) {
    const DayFiles day = MakeDay(32);
    ASSERT_EQ(DetectInstrumentFormat(day.gsi), InstrumentFormat::Gsi16);
    LineStore store;
    ReadMeasurementBytes(day.mdt, store);
    const InstrumentFile file = ReadInstrumentFile(day.gsi);
    ASSERT_EQ(store.LineCount(), 32u);
    ASSERT_EQ(file.lines.size(), 32u);
    for (std::size_t l = 0; l < file.lines.size(); ++l) {
        SCOPED_TRACE("line " + std::to_string(l + 1));
        const InstrumentLine& line = file.lines[l];
        EXPECT_EQ(line.name, store.Name(l));
        EXPECT_EQ(line.method, LevellingMethod::BFFB);
        ASSERT_EQ(line.stations.size(), day.stations[l]);
        // Every station's values are the .mdt's.
        EXPECT_EQ(Computed(InstrumentLineRecords(line, GradeSecond), GradeSecond),
                  Computed(store.Records(l), GradeSecond));

        const bool edited = l == 4 || l == 11 || l == 27;
        EXPECT_EQ(AnyMessageHas(line.messages, "与仪器不符"), edited) << AllText(line.messages);
        EXPECT_EQ(AnyMessageHas(line.messages, "缺少地址"), l == 11) << AllText(line.messages);
    }
    // Each damage where it is: the station and the quantity.
    EXPECT_TRUE(
        AnyMessageHas(file.lines[4].messages, "第 3 站（BM4_2–BM4_3）：两次高差之差与仪器不符"))
        << AllText(file.lines[4].messages);
    EXPECT_TRUE(AnyMessageHas(file.lines[4].messages, "第 3 站（BM4_2–BM4_3）：高程与仪器不符"));
    // After the deleted station 5, station 5 of what is left starts from a
    // height the instrument had reached one station further on.
    EXPECT_TRUE(AnyMessageHas(file.lines[11].messages, "第 5 站（BM11_5–BM11_6）：高程与仪器不符"))
        << AllText(file.lines[11].messages);
    EXPECT_TRUE(AnyMessageHas(file.lines[27].messages, "第 10 站（BM27_9–BM27_10）："))
        << AllText(file.lines[27].messages);
    EXPECT_FALSE(AnyMessageHas(file.lines[27].messages, "高程与仪器不符"));
}

// --- M5 ---------------------------------------------------------------------

TEST(M5Reader, BackForeBackForeIsFourthOrderInBookOrder) {
    const std::string text = Join({
        M5(1, "TO", "Start-Line BFBF"),
        M5Reading(2, "A", "Rb", "1.00000"),
        M5Reading(3, "B", "Rf", "0.50000"),
        M5Reading(4, "A", "Lr", "1.00010"),
        M5Reading(5, "B", "Lv", "0.50020"),
        M5(6, "KD1", "B",
           {M5Value("Sh", "0.00010"), M5Value("Z", "1.00000"), M5Value("dz", "0.50000")}),
        M5(7, "TO", "End-Line"),
    });
    const InstrumentFile file = ReadInstrumentFile(text);
    ASSERT_EQ(file.lines.size(), 1u);
    const InstrumentLine& line = file.lines[0];
    ASSERT_EQ(line.stations.size(), 1u);
    EXPECT_EQ(line.stations[0].order, "BFBF");
    EXPECT_EQ(LineGradeChoice(line), (GradeChoice{{GradeFourth}, GradeFourth}));
    const std::vector<std::string> records = InstrumentLineRecords(line, GradeFourth);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0], "A B 1.00000 20.000 --:--:-- 1 106");
    EXPECT_EQ(records[1], "A B 1.00010 20.000 --:--:-- 2 106");
    EXPECT_EQ(records[2], "B F 0.50000 20.000 --:--:-- 3 106");
    EXPECT_EQ(file.messages.size(), 0u) << AllText(file.messages);
}

TEST(M5Reader, StationRepeatedReplacesTheLastStation) {
    const std::string text = Join({
        M5(1, "TO", "Start-Line BF"),
        M5Reading(2, "A", "Rb", "1.00000"),
        M5Reading(3, "B", "Rf", "0.90000"),
        M5(4, "TO", "Station repeated"),
        M5Reading(5, "A", "Rb", "1.10000"),
        M5Reading(6, "B", "Rf", "0.80000"),
        M5Reading(7, "B", "Rb", "1.20000"),  // next station, cut off by a repeat
        M5(8, "TO", "Station repeated"),
        M5Reading(9, "B", "Rb", "1.30000"),
        M5Reading(10, "C", "Rf", "0.70000"),
        M5(11, "TO", "End-Line"),
    });
    const InstrumentFile file = ReadInstrumentFile(text);
    ASSERT_EQ(file.lines.size(), 1u);
    const std::vector<std::string> records = InstrumentLineRecords(file.lines[0], GradeNone);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(Fields(records[0])[2], "1.10000");
    EXPECT_EQ(Fields(records[2])[2], "1.30000");
    EXPECT_EQ(file.lines[0].name, "A-C");
    EXPECT_TRUE(file.messages.empty()) << AllText(file.messages);
}

TEST(InstrumentFile, PointNamesInOtherCodePagesAreDecodedAlone) {
    // Columns and word lengths count bytes; only the point name is decoded.
    const std::string gbk = "\xCB\xAE\xD7\xBC";  // 水准 in GBK
    const std::string gsi =
        Join({"*" + Word("410001", 1),
              "*" + PointWord(2, gbk) + " " + Word("32...8", 1000000) + " " + Word("331..8", 1),
              "*" + PointWord(3, "\xE6\xB0\xB4") + " " + Word("32...8", 1000000) + " " +
                  Word("332..8", 1)});  // 水 in UTF-8
    const std::string m5 = Join({M5(1, "TO", "Start-Line BF"), M5Reading(2, gbk, "Rb", "1.00000"),
                                 M5Reading(3, "B", "Rf", "0.50000"), M5(4, "TO", "End-Line")});
    const struct {
        const char* name;
        std::string bytes;
        const char* line;
    } cases[] = {{"GSI-16", gsi, "水准-水"}, {"M5", m5, "水准-B"}};
    for (const auto& c : cases) {
        const InstrumentFile file = ReadInstrumentFile(c.bytes);
        ASSERT_EQ(file.lines.size(), 1u) << c.name;
        EXPECT_EQ(file.lines[0].name, c.line) << c.name;
        EXPECT_EQ(file.lines[0].stations.size(), 1u) << c.name << AllText(file.messages);
    }
}

// --- Grade choice -------------------------------------------------------------

TEST(GradeChoice, FollowsTheStationPatternAndTheReadingUnit) {
    const InstrumentFile gsi = ReadInstrumentFile(Data("levelling.gsi"));
    const InstrumentFile bf = ReadInstrumentFile(OneStation(Word("331..8", 1)));
    std::string coarse = Data("levelling.gsi");
    // Readings in 0.1 mm: the data shift one digit.
    for (std::size_t at = coarse.find("331..8"); at != std::string::npos;
         at = coarse.find("331..8", at + 1)) {
        coarse[at + 5] = '6';
    }
    const InstrumentFile tenth = ReadInstrumentFile(coarse);

    const struct {
        const char* name;
        GradeChoice choice;
        GradeChoice expected;
    } cases[] = {
        {"BFFB at 0.01 mm",
         LineGradeChoice(gsi.lines[0]),
         {{GradeSecond, GradeThird}, GradeSecond}},
        {"aBFFB at 0.01 mm",
         LineGradeChoice(gsi.lines[1]),
         {{GradeSecond, GradeThird}, GradeSecond}},
        {"file", FileGradeChoice(gsi), {{GradeSecond, GradeThird}, GradeSecond}},
        {"BF", LineGradeChoice(bf.lines[0]), {}},
        {"file of BF lines", FileGradeChoice(bf), {}},
        {"BFFB with 0.1 mm readings",
         LineGradeChoice(tenth.lines[0]),
         {{GradeSecond, GradeThird}, GradeThird}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.choice, c.expected) << c.name;
    }
}

// --- Anything at all ----------------------------------------------------------

// Whatever the bytes, the reader ends, and what it keeps is consistent:
// every station's sights are readings of its line, its records are whole
// stations the report command can take, and the cross-check's sight records
// are exactly what the computation reads back from those records.
void ExpectConsistent(const InstrumentFile& file) {
    for (const InstrumentLine& line : file.lines) {
        for (const InstrumentStation& s : line.stations) {
            for (const std::int32_t i : s.sights) {
                ASSERT_LT(i, static_cast<std::int32_t>(line.observations.size()));
            }
        }
        for (const LevellingGrade grade : {GradeSecond, GradeThird, GradeFourth}) {
            const std::vector<std::string> records = InstrumentLineRecords(line, grade);
            const auto sights = CollectSightRecords(Views(records));
            ASSERT_TRUE(sights);
            std::vector<SightRecord> direct;
            std::array<SightRecord, 4> station;
            for (const InstrumentStation& s : line.stations) {
                const std::size_t n = StationSightRecords(line, s, grade, station);
                direct.insert(direct.end(), station.begin(),
                              station.begin() + static_cast<std::ptrdiff_t>(n));
            }
            EXPECT_EQ(*sights, direct);
            EXPECT_EQ(sights->size(), line.stations.size() * static_cast<std::size_t>(
                                                                 ReadingsPerStation(line.method)));
        }
    }
}

TEST(InstrumentFile, SurvivesCutsAndDamage) {
    std::mt19937 random(20260307);
    for (const char* name : {"levelling.gsi", "levelling_gsi8.gsi", "levelling.dat"}) {
        SCOPED_TRACE(name);
        const std::string clean = Data(name);
        ExpectConsistent(ReadInstrumentFile(clean));
        for (std::size_t cut = 0; cut < clean.size(); cut += 7) {
            ExpectConsistent(ReadInstrumentFile(clean.substr(0, cut)));
        }
        for (int round = 0; round < 300; ++round) {
            std::string damaged = clean;
            for (int k = 0; k < 4; ++k) {
                static constexpr char kBytes[] = "0123456789+- *|.\n\xC8";
                damaged[random() % damaged.size()] = kBytes[random() % (sizeof kBytes - 1)];
            }
            ExpectConsistent(ReadInstrumentFile(damaged));
        }
    }
}

}  // namespace
}  // namespace lorvex
