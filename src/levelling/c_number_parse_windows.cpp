#include <locale.h>
#include <stdlib.h>

#include "levelling/c_number_parse.h"

namespace lorvex {

double StrtodInCLocale(const char* text) {
    // One "C" locale for the life of the process.
    static const _locale_t loc = _create_locale(LC_ALL, "C");
    // _create_locale only fails when out of memory; strtod is the best left then.
    if (loc == nullptr) return strtod(text, nullptr);
    return _strtod_l(text, nullptr, loc);
}

}  // namespace lorvex
