#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace lorvex {

// Ids of the program's texts (resources/strings.tsv). 101-112 are the string
// table proper; 2xx are texts the window framework or the reader supply.
enum StringId : int {
    IDS_ABOUTBOX = 101,
    IDS_NO_REPORT = 102,    // "报表未生成！"
    IDS_NO_TEMPLATE = 103,  // "模板不存在！"
    IDS_NO_LINES = 104,     // "没有线路数据，请导入！"
    IDS_NO_RECORDS = 105,   // "没有测量数据，请选择线路名称！"
    IDS_BAD_STATIONS = 106,  // "数据中有非线路测量的数据或测站数据不完整，请检查！"
    IDS_CONFIRM_DELETE = 107,      // "确实要删除所选择的数据吗？"
    IDS_FORMAT_UNSUPPORTED = 108,  // "数据格式不支持！"
    IDS_DATA_COLUMN = 109,         // "数据文件内容"
    IDS_LINE_COLUMN = 110,         // "线路名称"
    IDS_FILE_FILTER = 111,         // "ASCII格式数据文件(*.mdt)|*.mdt||"
    IDS_WINDOW_TITLE = 112,        // "Lorvex 格式转换"
    // Further file-chooser filters after IDS_FILE_FILTER, "label|pattern" each.
    IDS_FILTER_GSI = 113,
    IDS_FILTER_M5 = 114,
    IDS_FILTER_ALL = 115,
    IDS_READ_ERROR = 201,           // "访问 %1 时发生未知错误。"
    IDS_INVALID_ARGUMENT = 202,     // "遇到不适当的参数。"
    IDS_DSN_FAILED = 203,           // "无法连接数据库！"
    IDS_TOO_MANY_LINES = 204,       // only the first 100 lines were imported
    IDS_NO_MEASUREMENT_DATA = 205,  // "文件中没有可识别的测量数据。"
    IDS_MESSAGE_REPEATED = 206,     // count of a run of identical messages
    IDS_NOT_REGULAR_FILE = 207,     // path
    IDS_FILE_TOO_LARGE = 208,       // path
    IDS_UTF16_WITHOUT_BOM = 209,    // path

    // Reading other levels' files: where a station or a file line was left
    // out, and what the line-by-line checks found.
    IDS_STATION_LEFT_OUT = 301,   // file line(s), reason
    IDS_FILE_LINE_IGNORED = 302,  // file line, reason
    IDS_WORD_TRUNCATED = 303,
    IDS_GSI8_IN_GSI16 = 304,
    IDS_WORD_LENGTH = 305,    // format name
    IDS_UNITS_UNKNOWN = 306,  // units digit
    IDS_UNITS_FEET = 307,
    IDS_NO_DISTANCE = 308,
    IDS_VALUE_UNREADABLE = 309,  // value text
    IDS_READINGS_MISSING = 310,  // readings present, readings needed
    IDS_M5_SHORT = 311,
    IDS_VALUE_OUT_OF_RANGE = 312,
    IDS_NOT_M5 = 313,
    IDS_REPEAT_AT_START = 314,
    IDS_OUTSIDE_LINE = 315,    // first file line
    IDS_METHOD_UNKNOWN = 316,  // file line, method text
    IDS_ADDRESS_GAP = 317,     // line, where, missing addresses
    IDS_GAP_STATION = 318,     // station number, back point, fore point
    IDS_GAP_LINE_END = 319,
    IDS_INTERMEDIATE_SIGHTS = 320,  // line, count
    IDS_CHECK_DISAGREES = 321,      // line, station, back, fore, quantity, instrument, ours
    IDS_CHECK_STATION_DIFF = 322,
    IDS_CHECK_HEIGHT = 323,
    IDS_CHECK_DISTANCE_SUM = 324,
    IDS_CHECK_LINE_LENGTH = 325,
    IDS_LINE_WITHOUT_READINGS = 326,
    IDS_READING_NOT_IN_METHOD = 327,
    IDS_TWO_READINGS = 328,
    IDS_SINGLE_READING_STATIONS = 329,  // report command on a BF line
    IDS_GRADE_QUESTION = 330,           // the grade a GSI or M5 file leaves open
    IDS_GRADE_NAME_SECOND = 331,
    IDS_GRADE_NAME_THIRD = 332,
    IDS_GRADE_NAME_FOURTH = 333,
};

// The text of a string id, UTF-8; empty for an unknown id.
std::string LoadString(int id);

// Replaces every "%1" in a framework message with the argument.
std::string FormatMessage1(std::string_view pattern, std::string_view arg);

// Replaces "%1" to "%9" with the arguments in order; a placeholder without an
// argument is kept as it stands.
std::string FormatMessageArgs(std::string_view pattern,
                              std::initializer_list<std::string_view> args);

}  // namespace lorvex
