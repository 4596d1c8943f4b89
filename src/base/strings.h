#pragma once

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
    IDS_READ_ERROR = 201,          // "访问 %1 时发生未知错误。"
    IDS_INVALID_ARGUMENT = 202,    // "遇到不适当的参数。"
    IDS_DSN_FAILED = 203,          // "无法连接数据库！"
    IDS_TOO_MANY_LINES = 204,      // only the first 100 lines were imported
};

// The text of a string id, UTF-8; empty for an unknown id.
std::string LoadString(int id);

// Replaces every "%1" in a framework message with the argument.
std::string FormatMessage1(std::string_view pattern, std::string_view arg);

}  // namespace lorvex
