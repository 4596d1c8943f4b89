#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/grade.h"
#include "base/messages.h"

namespace lorvex {

// What a click on a line does to the window's state.
struct LineSelection {
    enum class Outcome {
        Empty,        // the line has no records: only the data list is emptied
        Unsupported,  // pattern not recognised: message shown, all grade radios stay disabled
        Detected,     // grade and end points as below; apply the grade if it is 0-2
    };
    Outcome outcome = Outcome::Empty;
    std::vector<std::string> rows;  // data-list rows, cut at their last space
    // Field 1 and field 7 of each record; non-station rows (column headers,
    // intermediate sights) are skipped. Views into the records shown.
    std::vector<std::string_view> points;
    std::vector<std::string_view> codes;
    LevellingGrade grade = GradeNone;
    std::string stationStGo;
    std::string stationEnGo;
    std::optional<UserMessage> message;  // "数据格式不支持！"
};

// Shows a line: its records, and the grade and end points the window had
// before the click. Detects the grade from the point pattern (or from the
// first method code when there are fewer than four points).
LineSelection ShowLine(std::span<const std::string_view> records, LevellingGrade grade,
                       std::string stationStGo, std::string stationEnGo);

}  // namespace lorvex
