#include "json_stream.h"

#include <array>
#include <cmath>
#include <ostream>

namespace lorvex::cli {
namespace {

constexpr std::size_t kIndentStep = 2;
constexpr std::size_t kFlushAt = std::size_t{1} << 16;

// Printable ASCII that JSON takes as it is: no control character, quote or
// backslash, nothing that needs UTF-8 checking. Almost every record text is.
bool Plain(std::string_view text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x80 || b == '"' || b == '\\') return false;
    }
    return true;
}

}  // namespace

JsonStream::JsonStream(std::ostream& out)
    : m_out(out),
      m_serializer(nlohmann::detail::output_adapter<char, std::string>(m_buffer), ' ',
                   nlohmann::json::error_handler_t::replace) {}

void JsonStream::Indent(std::size_t depth) { m_buffer.append(depth * kIndentStep, ' '); }

void JsonStream::Place() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_empty.empty()) return;  // the document itself
    if (!m_empty.back()) m_buffer += ',';
    m_empty.back() = false;
    m_buffer += '\n';
    Indent(m_empty.size());
}

void JsonStream::BeginObject() {
    Place();
    m_buffer += '{';
    m_empty.push_back(true);
}

void JsonStream::BeginArray() {
    Place();
    m_buffer += '[';
    m_empty.push_back(true);
}

void JsonStream::EndObject() {
    const bool empty = m_empty.back();
    m_empty.pop_back();
    if (!empty) {
        m_buffer += '\n';
        Indent(m_empty.size());
    }
    m_buffer += '}';
    FlushIfFull();
}

void JsonStream::EndArray() {
    const bool empty = m_empty.back();
    m_empty.pop_back();
    if (!empty) {
        m_buffer += '\n';
        Indent(m_empty.size());
    }
    m_buffer += ']';
    FlushIfFull();
}

void JsonStream::Key(std::string_view key) {
    Place();
    Quoted(key);
    m_buffer += ": ";
    m_afterKey = true;
}

void JsonStream::Quoted(std::string_view text) {
    if (Plain(text)) {
        m_buffer += '"';
        m_buffer += text;
        m_buffer += '"';
    } else {
        // Escapes and the replacement of invalid UTF-8 exactly as dump does.
        m_serializer.dump(Json(std::string(text)), true, false, kIndentStep, 0);
    }
}

void JsonStream::String(std::string_view text) {
    Place();
    Quoted(text);
    FlushIfFull();
}

void JsonStream::Number(double value) {
    Place();
    if (!std::isfinite(value)) {
        m_buffer += "null";
    } else {
        // The digits dump's serializer writes for a double, from the same
        // routine.
        std::array<char, 64> digits;
        const char* end =
            nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), value);
        m_buffer.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
    }
    FlushIfFull();
}

void JsonStream::Value(const Json& value) {
    Place();
    m_serializer.dump(value, true, false, kIndentStep,
                      static_cast<unsigned>(m_empty.size() * kIndentStep));
    FlushIfFull();
}

void JsonStream::Finish() {
    m_buffer += '\n';
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_buffer.clear();
    m_out.flush();
}

void JsonStream::FlushIfFull() {
    if (m_buffer.size() < kFlushAt) return;
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_buffer.clear();
}

}  // namespace lorvex::cli
