#include <locale.h>
#include <stdlib.h>

#include "levelling/c_number_parse.h"

namespace lorvex {

double StrtodInCLocale(const char* text) {
    // One "C" locale for the life of the process.
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    // newlocale only fails when out of memory; strtod is the best left then.
    if (loc == static_cast<locale_t>(nullptr)) return strtod(text, nullptr);
    return strtod_l(text, nullptr, loc);
}

}  // namespace lorvex
