#pragma once

// A JSON document written as it is produced, for the parts of the output that
// grow with the file (every record of `lines`, every station of `compute`):
// the text is the same, byte for byte, as nlohmann's dump(2) of the whole
// document with invalid UTF-8 replaced, without holding the document.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace lorvex::cli {

class JsonStream {
  public:
    using Json = nlohmann::ordered_json;

    explicit JsonStream(std::ostream& out);
    JsonStream(const JsonStream&) = delete;
    JsonStream& operator=(const JsonStream&) = delete;

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // Inside an object: the next member's name; a value must follow.
    void Key(std::string_view key);
    void String(std::string_view text);
    // A number as dump writes a double (shortest digits that read back,
    // ".0" on whole numbers, null for NaN and infinities), without making
    // a value of it first.
    void Number(double value);
    // Any value, a whole object or array included, indented where it stands.
    void Value(const Json& value);
    // Ends the document with a newline and writes out what is held.
    void Finish();

  private:
    // The separator and indentation ahead of an array element or a member.
    void Place();
    void Indent(std::size_t depth);
    void Quoted(std::string_view text);
    void FlushIfFull();

    std::ostream& m_out;
    std::string m_buffer;
    nlohmann::detail::serializer<Json> m_serializer;
    // Per open object or array: whether anything was written into it yet.
    std::vector<bool> m_empty;
    bool m_afterKey = false;
};

}  // namespace lorvex::cli
