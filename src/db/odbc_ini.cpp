#include "db/odbc_ini.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace lorvex::db {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The file cut into lines, each with its line end ("\n", "\r\n" or none for
// the last), so that joining them gives the file back byte for byte.
std::vector<std::string_view> Lines(std::string_view ini) {
    std::vector<std::string_view> lines;
    while (!ini.empty()) {
        const std::size_t end = ini.find('\n');
        const std::size_t length = end == std::string_view::npos ? ini.size() : end + 1;
        lines.push_back(ini.substr(0, length));
        ini.remove_prefix(length);
    }
    return lines;
}

// The name of the section a line opens, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view text = Trim(line);
    if (text.size() < 2 || text.front() != '[') return std::nullopt;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(text.substr(1, close - 1));
}

bool IsComment(std::string_view text) {
    return text.empty() || text.front() == ';' || text.front() == '#';
}

}  // namespace

bool HasIniSection(std::string_view ini, std::string_view section,
                   const std::vector<IniKey>& keys) {
    int sections = 0;
    bool inside = false;
    std::vector<bool> seen(keys.size(), false);
    for (const std::string_view line : Lines(ini)) {
        if (const auto name = SectionName(line)) {
            inside = EqualNoCase(*name, section);
            if (inside) ++sections;
            continue;
        }
        const std::string_view text = Trim(line);
        if (!inside || IsComment(text)) continue;
        const std::size_t equals = text.find('=');
        const std::string_view name = Trim(text.substr(0, equals));
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : Trim(text.substr(equals + 1));
        const auto key = std::find_if(keys.begin(), keys.end(),
                                      [&](const IniKey& k) { return EqualNoCase(k.name, name); });
        if (key == keys.end()) return false;  // a key we do not write, e.g. a stale one
        const auto index = static_cast<std::size_t>(key - keys.begin());
        if (seen[index] || key->value != value) return false;
        seen[index] = true;
    }
    return sections == 1 && std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
}

std::string WithIniSection(std::string_view ini, std::string_view section,
                           const std::vector<IniKey>& keys) {
    std::string block = "[" + std::string(section) + "]\n";
    for (const IniKey& key : keys) block += key.name + "=" + key.value + "\n";

    std::string out;
    out.reserve(ini.size() + block.size() + 2);
    bool inside = false;
    bool placed = false;
    bool separate = false;  // the placed block still needs a blank line before what follows
    for (const std::string_view line : Lines(ini)) {
        if (const auto name = SectionName(line)) {
            inside = EqualNoCase(*name, section);
            if (inside) {
                if (!placed) {
                    out += block;
                    placed = true;
                    separate = true;
                }
                continue;
            }
        }
        if (inside) continue;
        if (separate) {
            if (!Trim(line).empty()) out += '\n';
            separate = false;
        }
        out += line;
    }
    if (!placed) {
        if (!out.empty() && out.back() != '\n') out += '\n';
        if (!out.empty() && Trim(Lines(out).back()).size() != 0) out += '\n';
        out += block;
    }
    return out;
}

}  // namespace lorvex::db
