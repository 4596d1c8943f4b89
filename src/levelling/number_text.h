#pragma once

// Numbers travel between steps as text. These are the only parse and print
// routines the program uses for them: atof/atoi semantics read in the "C"
// locale whatever the process locale is, and printf-style fixed formats whose
// exact halves round away from zero (glibc's printf rounds them to even).

#include <cstdint>
#include <string>
#include <string_view>

namespace lorvex {

// atof: leading white space, then the longest prefix strtod accepts in the
// "C" locale (decimal, exponent, hex, inf, nan); 0.0 when there is none.
double ParseDouble(std::string_view text);

// atoi: leading white space, an optional sign, decimal digits up to the first
// other character; 0 when there are none. Saturates at the 32-bit limits.
std::int32_t ParseInt(std::string_view text);

// "%d".
std::string FormatInt(std::int32_t value);

// "%0<width>d": zero-padded to width characters, a minus sign counting as one.
std::string FormatIntPadded(std::int32_t value, int width);

// "%.<decimals>f" with halves rounded away from zero on the exact binary value
// (2.5 -> "3", 0.25 -> "0.3" at one decimal, 0.15 -> "0.1" because 0.15 is
// stored below the half). A negative value that rounds to zero keeps its sign
// (-0.04 -> "-0.0"). Always a '.' as decimal point. inf and nan print as
// "inf", "-inf" and "nan" / "-nan".
std::string FormatFixed(double value, int decimals);

// "%.0f" then atoi: a double rounded half away from zero to a 32-bit integer,
// saturating like atoi; inf and nan give 0.
std::int32_t RoundToInt(double value);

}  // namespace lorvex
