#pragma once

#include <cstdint>

namespace lorvex {

// The levelling grade of a report; also the index of its radio button. Any
// other value can reach the computation (no grade chosen yet) and is treated
// as fourth order there.
using LevellingGrade = std::int32_t;
inline constexpr LevellingGrade GradeNone = -1;
inline constexpr LevellingGrade GradeSecond = 0;  // 二等
inline constexpr LevellingGrade GradeThird = 1;   // 三等
inline constexpr LevellingGrade GradeFourth = 2;  // 四等

constexpr bool IsKnownGrade(LevellingGrade g) { return g >= GradeSecond && g <= GradeFourth; }

}  // namespace lorvex
