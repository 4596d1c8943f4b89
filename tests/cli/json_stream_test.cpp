// The streamed JSON writer against nlohmann's dump(2) of the same document:
// every shape the printer meets, written piecewise, must come out the same
// byte for byte.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "json_stream.h"

namespace {

using lorvex::cli::JsonStream;
using Json = JsonStream::Json;

// Writes value the way the commands do: objects and arrays opened and
// closed piece by piece, strings through String, doubles through Number,
// the rest through Value; subtrees at depth >= wholeFrom handed over whole.
void Stream(JsonStream& out, const Json& value, int depth, int wholeFrom) {
    if (depth >= wholeFrom) {
        out.Value(value);
    } else if (value.is_object()) {
        out.BeginObject();
        for (const auto& [key, member] : value.items()) {
            out.Key(key);
            Stream(out, member, depth + 1, wholeFrom);
        }
        out.EndObject();
    } else if (value.is_array()) {
        out.BeginArray();
        for (const Json& element : value) Stream(out, element, depth + 1, wholeFrom);
        out.EndArray();
    } else if (value.is_string()) {
        out.String(value.get_ref<const std::string&>());
    } else if (value.is_number_float()) {
        out.Number(value.get<double>());
    } else {
        out.Value(value);
    }
}

TEST(JsonStreamTest, WritesWhatDumpWritesForEveryShape) {
    const std::string longText(70000, 'x');  // more than the writer holds at once
    const Json cases[] = {
        Json::object(),
        Json::array(),
        Json("plain"),
        Json(42),
        Json::parse(R"({"a": {}, "b": [], "c": [[], {}], "d": [{"e": []}]})"),
        // Escapes: quote, backslash, the named controls, other controls as
        // \u00xx, DEL as it is; UTF-8 kept; invalid UTF-8 replaced.
        Json{{"q\"k\\", "a\"b\\c"},
             {"ctl", std::string("\b\f\n\r\t\x01\x1f\x7f", 8)},
             {"zh", "水准3 BM1"},
             {"bad", std::string("ok\xff\xfe then \xe6\xb0 cut \xc3")},
             {"nul", std::string("a\0b", 3)}},
        // Numbers read back to the same value; integral doubles keep ".0".
        Json{{"d", Json::array({0.1, -0.0, 2.0, 1e300, 5e-324, 123456.789, -1.5e-7})},
             {"i", Json::array({0, -1, std::numeric_limits<long long>::min()})},
             {"u", std::numeric_limits<unsigned long long>::max()},
             {"nan", std::nan("")},
             {"n", nullptr},
             {"b", Json::array({true, false})}},
        Json{{"lines", Json::array({Json{{"name", ""}, {"records", Json::array()}},
                                    Json{{"name", "L1"}, {"records", {"A B 1", longText}}}})},
             {"ignored", 3u},
             {"messages", Json::array({"没有线路数据，请导入！"})}},
    };
    for (const Json& value : cases) {
        const std::string expected =
            value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
        for (int wholeFrom : {0, 1, 2, 99}) {
            SCOPED_TRACE(expected.substr(0, 200) + " whole from depth " +
                         std::to_string(wholeFrom));
            std::ostringstream out;
            JsonStream stream(out);
            Stream(stream, value, 0, wholeFrom);
            stream.Finish();
            EXPECT_EQ(out.str(), expected);
        }
    }
}

}  // namespace
