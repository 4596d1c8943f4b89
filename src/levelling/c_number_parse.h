#pragma once

// strtod in the "C" locale, whatever LC_NUMERIC the process has: numbers in
// measurement files and tables always use a decimal point. The locale API
// differs per platform (POSIX newlocale/strtod_l, the Windows CRT's
// _create_locale/_strtod_l); the file is chosen at configure time.

namespace lorvex {

// text must be NUL-terminated; parses as much as strtod would.
double StrtodInCLocale(const char* text);

}  // namespace lorvex
