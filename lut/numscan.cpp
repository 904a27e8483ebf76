#include "lut/numscan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

// Each conversion first finds the span of characters glibc's scanf would take, by the same
// greedy rules, and then gives the value that strtod gives for the longest number at the
// start of that span. The span and the value differ where glibc takes characters it cannot
// put back: "1e+" is taken whole but is worth 1. Decimals of up to 15 digits or so with a
// small exponent are rounded correctly by one double multiplication or division (and, for a
// float, a second rounding that is checked to be harmless); the rest go to std::from_chars,
// which rounds correctly and ignores the locale.

namespace NumScan {

namespace {

inline bool isSpace(char ch)
{
    return ch == ' ' || unsigned(ch - '\t') <= unsigned('\r' - '\t');
}

// The digit's value, or 10 or more for any other byte (NUL included).
inline unsigned digitAt(const char *p)
{
    return unsigned(static_cast<unsigned char>(*p)) - '0';
}

// ASCII letters in lower case; other bytes become something no caller compares with.
inline unsigned lower(char ch)
{
    return unsigned(static_cast<unsigned char>(ch)) | 0x20u;
}

inline bool hexDigit(char ch, unsigned &value)
{
    value = digitAt(&ch);
    if (value < 10)
        return true;
    value = lower(ch) - 'a';
    if (value >= 6)
        return false;
    value += 10;
    return true;
}

inline const char *skipSpaces(const char *p, const char *end)
{
    while (p != end && isSpace(*p))
        ++p;
    return p;
}

// Case-blind match of a lower-case word at p.
bool matchWord(const char *p, const char *end, const char *word)
{
    for (; *word; ++word, ++p) {
        if (p == end || lower(*p) != unsigned(static_cast<unsigned char>(*word)))
            return false;
    }
    return true;
}

template <typename T>
struct Real;

// Powers of ten that a double holds exactly.
double exactPow10(int e)
{
    static constexpr double table[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return table[e];
}
constexpr int maxExactPow10 = 22;
constexpr std::uint64_t maxExactMantissa = std::uint64_t(1) << 53;

template <>
struct Real<float> {
    static constexpr int bits = 24;             // significand precision
    static constexpr int minExp = -126;         // exponent of the smallest normal
    // A correctly rounded double rounds correctly once more to float unless it fell exactly
    // halfway between two floats. The doubles of the exact path are all normal floats.
    static bool narrowsExactly(double d)
    {
        std::uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        const std::uint64_t below = (std::uint64_t(1) << (53 - 24)) - 1;
        return (b & below) != (below + 1) / 2;
    }
};

template <>
struct Real<double> {
    static constexpr int bits = 53;
    static constexpr int minExp = -1022;
    static bool narrowsExactly(double) { return true; }
};

template <typename T>
inline T withSign(T v, bool negative)
{
    return negative ? -v : v;
}

// "nan", "inf" or "infinity" in any case. glibc takes no "(...)" after "nan", and once it
// has seen "infi" it needs the whole "infinity".
template <typename T>
const char *parseSpecial(const char *p, const char *end, bool negative, T &out)
{
    if (matchWord(p, end, "nan")) {
        out = std::copysign(std::numeric_limits<T>::quiet_NaN(), negative ? T(-1) : T(1));
        return p + 3;
    }
    if (!matchWord(p, end, "inf"))
        return nullptr;
    p += 3;
    if (p != end && lower(*p) == 'i') {
        if (!matchWord(p, end, "inity"))
            return nullptr;
        p += 5;
    }
    out = withSign(std::numeric_limits<T>::infinity(), negative);
    return p;
}

// After an exponent letter: an optional sign and decimal digits, all taken even when no
// digit follows the sign. The value is clamped far beyond any range; `signEnd`, if given,
// receives where the digits begin.
const char *parseExponent(const char *p, const char *end, std::int64_t &value, const char **signEnd = nullptr)
{
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (signEnd)
        *signEnd = p;
    std::int64_t e = 0;
    for (; p != end && digitAt(p) < 10; ++p) {
        if (e < 1000000000)
            e = e * 10 + digitAt(p);
    }
    value = negative ? -e : e;
    return p;
}

// mantissa * 2^exp2 rounded once to T, ties to even; `sticky` stands for nonzero bits below
// the mantissa's last bit.
template <typename T>
T roundBinary(std::uint64_t mantissa, bool sticky, std::int64_t exp2)
{
    if (mantissa == 0)
        return T(0);
    while (!(mantissa >> 63)) {
        mantissa <<= 1;
        --exp2;
    }
    const std::int64_t top = exp2 + 63;
    const std::int64_t lastBit = std::max<std::int64_t>(top - Real<T>::bits + 1, Real<T>::minExp - Real<T>::bits + 1);
    const std::int64_t drop = lastBit - exp2;   // at least 64 - 53
    std::uint64_t kept;
    if (drop > 64) {
        kept = 0;   // below half the smallest denormal
    } else if (drop == 64) {
        const std::uint64_t half = std::uint64_t(1) << 63;
        kept = (mantissa > half || sticky) ? 1 : 0;
    } else {
        kept = mantissa >> drop;
        const std::uint64_t rest = mantissa & ((std::uint64_t(1) << drop) - 1);
        const std::uint64_t half = std::uint64_t(1) << (drop - 1);
        if (rest > half || (rest == half && (sticky || (kept & 1))))
            ++kept;
    }
    if (kept == 0)
        return T(0);
    // kept fits the significand, so the product is exact or overflows to infinity.
    const int scale = int(std::min<std::int64_t>(lastBit, 4096));
    return std::ldexp(T(kept), scale);
}

// Hexadecimal after "0x": hex digits with one optional point, then "p", a sign and decimal
// digits. "0x" with no digit is no number; "0x." is the "0" before the "x".
template <typename T>
const char *parseHex(const char *p, const char *end, bool negative, T &out)
{
    std::uint64_t mantissa = 0;
    int kept = 0;
    bool sticky = false;
    bool anyDigit = false;
    std::int64_t exp2 = 0;
    unsigned v;
    for (; p != end && hexDigit(*p, v); ++p) {
        anyDigit = true;
        if (mantissa == 0 && v == 0)
            continue;
        if (kept < 16) {
            mantissa = mantissa << 4 | v;
            ++kept;
        } else {
            exp2 += 4;
            sticky |= v != 0;
        }
    }
    bool point = false;
    if (p != end && *p == '.') {
        point = true;
        for (++p; p != end && hexDigit(*p, v); ++p) {
            anyDigit = true;
            if (mantissa == 0 && v == 0) {
                exp2 -= 4;
            } else if (kept < 16) {
                mantissa = mantissa << 4 | v;
                ++kept;
                exp2 -= 4;
            } else {
                sticky |= v != 0;
            }
        }
    }
    if (!anyDigit) {
        if (!point)
            return nullptr;
        out = withSign(T(0), negative);
        return p;
    }
    if (p != end && lower(*p) == 'p') {
        std::int64_t e = 0;
        p = parseExponent(p + 1, end, e);
        exp2 += e;
    }
    out = withSign(roundBinary<T>(mantissa, sticky, exp2), negative);
    return p;
}

// Decimal text that did not take the exact path: from_chars rounds it; out of range it
// leaves the value alone, and then the position of the leading digit tells infinity from 0.
template <typename T>
T convertDecimal(const char *first, const char *last, std::int64_t leadExp10)
{
    T v = 0;
    const std::from_chars_result r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range)
        return leadExp10 >= 0 ? std::numeric_limits<T>::infinity() : T(0);
    return v;
}

// Eight bytes at a time: `v` holds eight bytes of text, the first in the lowest byte.
constexpr std::uint64_t everyByte = 0x0101010101010101u;

// Each byte's digit value, exact up to the first byte that is no digit.
inline std::uint64_t digitValues(std::uint64_t v)
{
    return v - 0x30 * everyByte;
}

// The top bit of each byte set where the byte is no digit. Carries and borrows move only
// towards later bytes, so every byte up to the first non-digit is told right.
inline std::uint64_t nonDigits(std::uint64_t v)
{
    return (digitValues(v) | (v + 0x46 * everyByte)) & (0x80 * everyByte);
}

// The number of eight digit values, the first (most significant) in the lowest byte.
inline std::uint64_t eightDigitNumber(std::uint64_t x)
{
    x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FFu;
    x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFFu;
    return (x * 10000 + (x >> 32)) & 0xFFFFFFFFu;
}

constexpr std::uint32_t smallPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// The fraction digits of a typical sample, up to eight, taken at once where the per-digit
// loop below would take them all as kept digits: p, mantissa, digits and exp10 move past
// them. False, with nothing moved, where the bytes cannot be loaded in one piece (fewer than
// eight between `first` and `end`), the run is eight digits long (more may follow) or would
// pass the 19 kept digits; the per-digit loop then takes them.
inline bool takeFraction(const char *&p, const char *first, const char *end, std::uint64_t &mantissa, int &digits,
                         std::int64_t &exp10)
{
    const std::ptrdiff_t left = end - p;
    std::uint64_t v;
    if (left >= 8) {
        std::memcpy(&v, p, 8);
    } else if (left > 0 && end - first >= 8) {
        // The number's last eight bytes: those before p are shifted out, zero bytes (no
        // digits) come in behind.
        std::memcpy(&v, end - 8, 8);
        v >>= 8 * (8 - left);
    } else {
        return false;
    }
    const std::uint64_t nonDigit = nonDigits(v);
    if (!nonDigit)
        return false;
    const int run = __builtin_ctzll(nonDigit) >> 3;
    if (run == 0)
        return true;
    // The run's digit values in the top bytes: as eight digits with leading zeros.
    const std::uint64_t x = digitValues(v) << (64 - 8 * run);
    // Significant digits of the run when nothing was kept before it: from its first non-zero.
    const int newDigits = mantissa != 0 ? digits + run : x ? 8 - (__builtin_ctzll(x) >> 3) : 0;
    if (newDigits > 19)
        return false;
    mantissa = mantissa * smallPow10[run] + eightDigitNumber(x);
    digits = newDigits;
    exp10 -= run;
    p += run;
    return true;
}

// The common sample number, such as "0.302227": digits, a point and digits, seven digits at
// most, within the eight bytes at p, followed by no further digit and no exponent. Gives the
// value parseDecimal gives; nullptr for every other text, which parseDecimal then reads.
template <typename T>
inline const char *parseShortDecimal(const char *p, const char *end, bool negative, T &out)
{
    if (end - p < 8)
        return nullptr;
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    const std::uint64_t intEnd = nonDigits(v);
    if (!intEnd)
        return nullptr;
    const int intLen = __builtin_ctzll(intEnd) >> 3;
    if (intLen == 0 || p[intLen] != '.')
        return nullptr;
    // With the point turned into a "0" the digits after it are told right too.
    v += std::uint64_t('0' - '.') << (8 * intLen);
    const std::uint64_t numberEnd = nonDigits(v);
    int len = 8;
    if (numberEnd)
        len = __builtin_ctzll(numberEnd) >> 3;
    else if (end - p > 8 && unsigned(p[8] - '0') < 10)
        return nullptr;
    if (p + len != end && lower(p[len]) == 'e')
        return nullptr;
    // The digits with the point taken out, then as a number with leading zeros.
    const std::uint64_t values = digitValues(v);
    const std::uint64_t below = (std::uint64_t(1) << (8 * intLen)) - 1;
    const int digits = len - 1;
    const std::uint64_t joined = (values & below) | ((values >> 8) & ~below);
    const std::uint64_t mantissa = eightDigitNumber(joined << (64 - 8 * digits));
    T value = 0;
    if (mantissa != 0) {
        const double exact = double(mantissa) / exactPow10(digits - intLen);
        if (!Real<T>::narrowsExactly(exact))
            return nullptr;
        value = T(exact);
    }
    out = withSign(value, negative);
    return p + len;
}

// Digits with one optional point, then "e", a sign and digits. The exponent letter and its
// sign are taken even when no digit follows; the value then ends before the letter.
template <typename T>
const char *parseDecimal(const char *p, const char *end, bool negative, T &out)
{
    const char *first = p;
    std::uint64_t mantissa = 0;   // the first 19 significant digits
    int digits = 0;
    std::int64_t exp10 = 0;       // mantissa * 10^exp10 is the number up to the cut digits
    bool anyDigit = false;
    unsigned d;
    for (; p != end && (d = digitAt(p)) < 10; ++p) {
        anyDigit = true;
        if (digits < 19) {
            mantissa = mantissa * 10 + d;
            digits += mantissa != 0;
        } else {
            ++exp10;
        }
    }
    if (p != end && *p == '.') {
        ++p;
        const char *start = p;
        if (takeFraction(p, first, end, mantissa, digits, exp10))
            anyDigit = anyDigit || p != start;
        for (; p != end && (d = digitAt(p)) < 10; ++p) {
            anyDigit = true;
            if (digits < 19) {
                mantissa = mantissa * 10 + d;
                digits += mantissa != 0;
                --exp10;
            }
        }
    }
    if (!anyDigit)
        return nullptr;
    const char *last = p;
    if (p != end && lower(*p) == 'e') {
        std::int64_t e = 0;
        const char *signEnd = nullptr;
        p = parseExponent(p + 1, end, e, &signEnd);
        if (p != signEnd) {
            exp10 += e;
            last = p;
        }
    }
    T v;
    if (mantissa == 0) {
        v = 0;
    } else {
        // With both operands exact in a double, the one rounding of the operation is the
        // correct one.
        double exact = 0;
        const bool fast = mantissa <= maxExactMantissa && exp10 >= -maxExactPow10 && exp10 <= maxExactPow10;
        if (fast)
            exact = exp10 < 0 ? double(mantissa) / exactPow10(int(-exp10)) : double(mantissa) * exactPow10(int(exp10));
        if (fast && Real<T>::narrowsExactly(exact))
            v = T(exact);
        else
            v = convertDecimal<T>(first, last, exp10 + digits - 1);
    }
    out = withSign(v, negative);
    return p;
}

// One %f / %lf conversion at p, which is past any white space. Returns the end of what was
// taken, or nullptr when nothing converts.
template <typename T>
const char *parseReal(const char *p, const char *end, T &out)
{
    if (p == end)
        return nullptr;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        if (++p == end)
            return nullptr;
    }
    if (const char *taken = parseShortDecimal(p, end, negative, out))
        return taken;
    const unsigned c = lower(*p);
    if (c == 'n' || c == 'i')
        return parseSpecial(p, end, negative, out);
    if (*p == '0' && end - p > 1 && lower(p[1]) == 'x')
        return parseHex(p + 2, end, negative, out);
    return parseDecimal(p, end, negative, out);
}

// One %ld conversion: strtol's value, clamped to 64 bits.
const char *parseInteger(const char *p, const char *end, std::int64_t &out)
{
    if (p == end)
        return nullptr;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (p == end || digitAt(p) >= 10)
        return nullptr;
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    std::uint64_t magnitude = 0;
    for (; p != end && digitAt(p) < 10; ++p) {
        const unsigned d = digitAt(p);
        magnitude = magnitude > (limit - d) / 10 ? limit : magnitude * 10 + d;
    }
    out = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return p;
}

// %d stores the long that strtol gives cut to int, keeping the low 32 bits.
inline const char *parseInt(const char *p, const char *end, int &out)
{
    std::int64_t v;
    p = parseInteger(p, end, v);
    if (p)
        out = int(std::uint32_t(std::uint64_t(v)));
    return p;
}

inline const char *parseFloat(const char *p, const char *end, float &out)
{
    return parseReal(p, end, out);
}

inline const char *parseDouble(const char *p, const char *end, double &out)
{
    return parseReal(p, end, out);
}

inline const char *parseLong(const char *p, const char *end, qint64 &out)
{
    std::int64_t v;
    p = parseInteger(p, end, v);
    if (p)
        out = v;
    return p;
}

inline bool endsAt(const char *p, const char *end)
{
    return p == end || *p == '\0';
}

template <typename T, const char *(*parse)(const char *, const char *, T &)>
bool readOne(Cursor &c, T &value)
{
    const char *p = skipSpaces(c.p, c.end);
    if (endsAt(p, c.end))
        return false;
    T v;
    p = parse(p, c.end, v);
    if (!p)
        return false;
    value = v;
    c.p = p;
    return true;
}

// The same conversion `count` times with white space between: "%f %f %f" and its kind.
template <typename T, const char *(*parse)(const char *, const char *, T &)>
int scanMany(const char *text, int len, T *out, int count, const char **stop)
{
    const char *p = text;
    const char *end = text + (len > 0 ? len : 0);
    int done = 0;
    for (; done < count; ++done) {
        p = skipSpaces(p, end);
        if (endsAt(p, end)) {
            if (done == 0)
                done = -1;
            break;
        }
        T v;
        const char *next = nullptr;
        if constexpr (std::is_floating_point<T>::value) {
            // The common number without the call.
            const bool sign = *p == '-' || *p == '+';
            next = parseShortDecimal(p + sign, end, *p == '-', v);
        }
        if (!next)
            next = parse(p, end, v);
        if (!next)
            break;
        p = next;
        out[done] = v;
    }
    if (stop)
        *stop = p;
    return done;
}

}

void skipSpace(Cursor &c)
{
    c.p = skipSpaces(c.p, c.end);
}

bool atEnd(const Cursor &c)
{
    return endsAt(c.p, c.end);
}

bool matchChar(Cursor &c, char ch)
{
    if (atEnd(c) || *c.p != ch)
        return false;
    ++c.p;
    return true;
}

bool readFloat(Cursor &c, float &value)
{
    return readOne<float, parseFloat>(c, value);
}

bool readDouble(Cursor &c, double &value)
{
    return readOne<double, parseDouble>(c, value);
}

bool readInt(Cursor &c, int &value)
{
    return readOne<int, parseInt>(c, value);
}

bool readLong(Cursor &c, qint64 &value)
{
    return readOne<qint64, parseLong>(c, value);
}

int scanFloats(const char *text, int len, float *out, int count)
{
    return scanMany<float, parseFloat>(text, len, out, count, nullptr);
}

int scanFloats(const char *text, int len, float *out, int count, const char **stop)
{
    return scanMany<float, parseFloat>(text, len, out, count, stop);
}

int scanDoubles(const char *text, int len, double *out, int count)
{
    return scanMany<double, parseDouble>(text, len, out, count, nullptr);
}

int scanInts(const char *text, int len, int *out, int count)
{
    return scanMany<int, parseInt>(text, len, out, count, nullptr);
}

int scanInts(const char *text, int len, int *out, int count, const char **stop)
{
    return scanMany<int, parseInt>(text, len, out, count, stop);
}

int scanLongs(const char *text, int len, qint64 *out, int count)
{
    return scanMany<qint64, parseLong>(text, len, out, count, nullptr);
}

bool wholeInt(const char *text, int len, int &value)
{
    Cursor c{text, text + (len > 0 ? len : 0)};
    qint64 v = 0;
    if (!readLong(c, v))
        return false;
    skipSpace(c);
    if (!atEnd(c) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    value = int(v);
    return true;
}

int scanIntCommaInt(const char *text, int len, int *out)
{
    Cursor c{text, text + (len > 0 ? len : 0)};
    skipSpace(c);
    if (atEnd(c))
        return -1;
    if (!readInt(c, out[0]))
        return 0;
    if (!matchChar(c, ','))
        return 1;
    return readInt(c, out[1]) ? 2 : 1;
}

}
