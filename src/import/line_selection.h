#pragma once

#include <optional>
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
    // Data-list rows, the records cut at their last space: views into the
    // record texts shown.
    std::vector<std::string_view> rows;
    LevellingGrade grade = GradeNone;
    std::string stationStGo;
    std::string stationEnGo;
    std::optional<UserMessage> message;  // "数据格式不支持！"
};

// Shows a line: its records, and the grade and end points the window had
// before the click. Detects the grade from the point pattern (or from the
// first method code when there are fewer than four points). The records'
// vector becomes the rows, cut in place; the texts must outlive the rows.
LineSelection ShowLine(std::vector<std::string_view> records, LevellingGrade grade,
                       std::string stationStGo, std::string stationEnGo);

}  // namespace lorvex
