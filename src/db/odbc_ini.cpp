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

std::optional<std::vector<IniKey>> ParseConnectionAttributes(std::string_view attributes,
                                                             std::string* error) {
    auto fail = [&](std::string text) -> std::optional<std::vector<IniKey>> {
        if (error != nullptr) *error = std::move(text);
        return std::nullopt;
    };
    std::vector<IniKey> keys;
    bool driver = false;
    while (!attributes.empty()) {
        const std::size_t end = attributes.find(';');
        const std::string_view item = Trim(attributes.substr(0, end));
        attributes =
            end == std::string_view::npos ? std::string_view{} : attributes.substr(end + 1);
        if (item.empty()) continue;
        const std::size_t equals = item.find('=');
        const std::string_view name = Trim(item.substr(0, equals));
        if (equals == std::string_view::npos || name.empty()) {
            return fail("\"" + std::string(item) + "\" is not NAME=VALUE");
        }
        const std::string_view value = Trim(item.substr(equals + 1));
        // Each key is one line of odbc.ini; a bracket would open a section.
        if (value.find_first_of("\r\n") != std::string_view::npos ||
            name.find_first_of("[]\r\n") != std::string_view::npos) {
            return fail("\"" + std::string(name) + "\" holds a line break or a bracket");
        }
        if (EqualNoCase(name, "Password") || EqualNoCase(name, "PWD")) {
            // The value is not repeated: it may be a real password.
            return fail(
                "a password is never written into the data source; keep it where the "
                "driver reads it (~/.pgpass for PostgreSQL)");
        }
        if (EqualNoCase(name, "DSN")) return fail("the data source is always \"Qel\"");
        for (const IniKey& key : keys) {
            if (EqualNoCase(key.name, name)) return fail(std::string(name) + " given twice");
        }
        if (EqualNoCase(name, "Driver")) driver = true;
        keys.push_back(IniKey{std::string(name), std::string(value)});
    }
    if (!driver) return fail("the attributes name no Driver (e.g. Driver=PostgreSQL Unicode)");
    return keys;
}

}  // namespace lorvex::db
