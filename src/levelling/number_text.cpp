#include "levelling/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "levelling/c_number_parse.h"

namespace lorvex {
namespace {

// White space as isspace() knows it in the "C" locale.
constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtod needs a terminated string: texts shorter than this are copied to the
// stack, longer ones (rare: fields are short) to the heap.
constexpr std::size_t kStackText = 128;

// Adds one unit in the last place to a run of decimal digits (skipping the
// point), carrying to the left; returns true when the carry ran off the
// front ("9.9" -> "0.0" plus carry), so the caller must prefix a '1'.
bool IncrementDigits(char* first, char* last) {
    for (char* p = last; p != first;) {
        --p;
        if (*p == '.') continue;
        if (*p != '9') {
            ++*p;
            return false;
        }
        *p = '0';
    }
    return true;
}

// An optional '-', digits with at most one '.', and at least one digit.
bool IsPlainDecimal(std::string_view text) {
    std::size_t i = text.front() == '-' ? 1 : 0;
    bool digit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

// Fixed-point text for the record book's usual case, a value below 2^53 at
// up to three places, in exact integer arithmetic. The double is m * 2^-k
// with m < 2^53, so value * 10^d = m * 10^d / 2^k where m * 10^d < 2^63. Its
// integer quotient, rounded up when the remainder is at least half of 2^k
// (ties away from zero), is the printed number without its point.
constexpr int kFastDecimals = 3;

std::string FormatFixedSmall(double value, int decimals) {
    constexpr std::uint64_t kPow10[] = {1, 10, 100, 1000};
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    // Normal numbers carry a hidden leading one; subnormals have exponent -1074.
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int k = biased == 0 ? 1074 : 1075 - biased;  // value = m * 2^-k

    const std::uint64_t scaled = m * kPow10[decimals];
    std::uint64_t q;
    if (k <= 0) {
        q = scaled;  // below 2^53 a normal number has k >= 0; k == 0 is an integer
    } else if (k >= 64) {
        q = 0;  // scaled < 2^63 <= 2^(k-1): below half a unit
    } else {
        q = scaled >> k;
        const std::uint64_t rem = scaled & ((std::uint64_t{1} << k) - 1);
        if (rem >= (std::uint64_t{1} << (k - 1))) ++q;
    }

    // Sign, integer part, point, and exactly `decimals` fraction digits.
    char buf[40];
    char* out = buf;
    if (negative) *out++ = '-';
    const std::uint64_t unit = kPow10[decimals];
    out = std::to_chars(out, buf + sizeof buf, q / unit).ptr;
    if (decimals > 0) {
        *out++ = '.';
        std::uint64_t frac = q % unit;
        for (int i = decimals - 1; i >= 0; --i) {
            out[i] = static_cast<char>('0' + frac % 10);
            frac /= 10;
        }
        out += decimals;
    }
    return std::string(buf, out);
}

}  // namespace

double ParseDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    text.remove_prefix(i);
    if (text.empty()) return 0.0;

    // Plain decimals ("-12.5", "253") are what the program writes and reads
    // nearly always. from_chars reads them with the same correct rounding as
    // strtod and without copying; everything else (a '+', exponents, hex,
    // inf, trailing text, out of range) goes through strtod itself.
    if (IsPlainDecimal(text)) {
        double value = 0.0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
        if (res.ec == std::errc() && res.ptr == text.data() + text.size()) return value;
    }

    char stack[kStackText];
    std::string heap;
    const char* cstr;
    if (text.size() < kStackText) {
        std::memcpy(stack, text.data(), text.size());
        stack[text.size()] = '\0';
        cstr = stack;
    } else {
        heap.assign(text);
        cstr = heap.c_str();
    }
    // Never the decimal comma a desktop session may have put into LC_NUMERIC.
    return StrtodInCLocale(cstr);
}

std::int32_t ParseInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude is held in 64 bits and stops growing once past the
    // 32-bit range: the result saturates there instead of wrapping.
    constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude <= kCap) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (negative) {
        return magnitude >= kCap ? std::numeric_limits<std::int32_t>::min()
                                 : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= kCap ? std::numeric_limits<std::int32_t>::max()
                             : static_cast<std::int32_t>(magnitude);
}

std::string FormatInt(std::int32_t value) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string FormatIntPadded(std::int32_t value, int width) {
    char digits[16];
    const std::int64_t wide = value;
    const std::uint64_t magnitude = static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
    const auto res = std::to_chars(digits, digits + sizeof digits, magnitude);
    const std::size_t count = static_cast<std::size_t>(res.ptr - digits);
    const std::size_t sign = value < 0 ? 1 : 0;
    const std::size_t target = width > 0 ? static_cast<std::size_t>(width) : 0;
    const std::size_t zeros = target > sign + count ? target - sign - count : 0;

    std::string out;
    out.reserve(sign + zeros + count);
    if (sign) out.push_back('-');
    out.append(zeros, '0');
    out.append(digits, count);
    return out;
}

std::string FormatFixed(double value, int decimals) {
    if (decimals < 0) decimals = 6;  // printf's default precision
    if (!std::isfinite(value)) {
        if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
        return value < 0 ? "-inf" : "inf";
    }

    if (decimals <= kFastDecimals && std::fabs(value) < 9007199254740992.0) {
        return FormatFixedSmall(value, decimals);
    }

    // The largest double has 309 integer digits; one more decimal, a sign,
    // a point and a possible carry digit fit in the slack.
    const std::size_t capacity = 320 + static_cast<std::size_t>(decimals);
    char stack[400];
    std::string heap;
    char* buf = stack;
    if (capacity > sizeof stack) {
        heap.resize(capacity);
        buf = heap.data();
    }
    // buf[0] is kept free for a carry digit.
    char* const first = buf + 1;
    char* const limit = buf + capacity;

    // An exact tie at `decimals` places is a value whose binary expansion
    // ends at bit decimals+1 with a one, i.e. ldexp(value, decimals + 1) is
    // an odd integer. Only then does away-from-zero differ from the
    // round-to-nearest of to_chars (which, like printf, breaks ties to even).
    bool tie;
    if (decimals < 62) {
        // Scaling by a power of two is exact (no underflow when scaling up;
        // an overflow gives inf, which fails the range test).
        const double scaled = value * static_cast<double>(std::uint64_t{1} << (decimals + 1));
        constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
        tie = std::fabs(scaled) < kExactIntegers &&
              static_cast<double>(static_cast<std::int64_t>(scaled)) == scaled &&
              (static_cast<std::int64_t>(scaled) & 1) != 0;
    } else {
        const double scaled = std::ldexp(value, decimals + 1);
        tie =
            std::isfinite(scaled) && std::trunc(scaled) == scaled && std::fmod(scaled, 2.0) != 0.0;
    }

    std::to_chars_result res;
    if (!tie) {
        res = std::to_chars(first, limit, value, std::chars_format::fixed, decimals);
        return std::string(first, res.ptr);
    }
    // The tie's decimal expansion has exactly decimals+1 places, the last
    // being a 5: print it exactly, drop that 5 and round the rest up in
    // magnitude.
    res = std::to_chars(first, limit, value, std::chars_format::fixed, decimals + 1);
    char* end = res.ptr - 1;   // drop the final '5'
    if (decimals == 0) --end;  // and the point before it
    char* digitsBegin = first + (*first == '-' ? 1 : 0);
    if (IncrementDigits(digitsBegin, end)) {
        // All nines: shift the sign left by one and put a '1' in front.
        if (digitsBegin != first) {
            first[-1] = '-';
            *first = '1';
            return std::string(first - 1, end);
        }
        first[-1] = '1';
        return std::string(first - 1, end);
    }
    return std::string(first, end);
}

std::int32_t RoundToInt(double value) {
    if (!std::isfinite(value)) return 0;
    // std::round works on the exact binary value and breaks ties away from
    // zero, which is what "%.0f" with that rule prints.
    const double r = std::round(value);
    if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

}  // namespace lorvex
