#include "lut/numformat.h"

#include "lut/numscan.h"

#include <QString>
#include <QTextStream>
#include <QtAlgorithms>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#if __has_include(<charconv>)
#include <charconv>
#endif
// Floating-point to_chars is correctly rounded and locale-free; without it the digits come from
// snprintf, which is correctly rounded too on the platforms we build for but needs the locale's
// decimal point stepped over. NUMFORMAT_NO_TO_CHARS forces that second path (to test it).
#if defined(__cpp_lib_to_chars) && !defined(NUMFORMAT_NO_TO_CHARS)
#define NUMFORMAT_HAS_TO_CHARS 1
#else
#define NUMFORMAT_HAS_TO_CHARS 0
#endif

// What QTextStream prints (double-conversion underneath) is the exact binary value rounded to
// the requested digits, exact ties going away from zero. printf and to_chars round exact ties
// to even instead. Both agree everywhere else, so the functions below either compute the digits
// exactly in integers (fixed, for everything a float can hold) or take correctly rounded digits
// and mend the ties, which are rare and detected exactly from the binary exponent.

namespace NumFormat {

namespace {

// A finite positive double as mant * 2^exp with mant odd.
struct Binary {
    std::uint64_t mant;
    int exp;
};

Binary decompose(double a)
{
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int biased = int(bits >> 52) & 0x7ff;
    std::uint64_t mant = bits & ((std::uint64_t(1) << 52) - 1);
    int exp;
    if (biased == 0) {
        exp = -1074;
    } else {
        mant |= std::uint64_t(1) << 52;
        exp = biased - 1075;
    }
    const int tz = int(qCountTrailingZeroBits(quint64(mant)));
    return {mant >> tz, exp + tz};
}

const char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char *putUnsigned(char *out, std::uint64_t u)
{
    if (u < 10) {
        // The whole part of nearly every sample.
        *out = char('0' + u);
        return out + 1;
    }
    char tmp[20];
    char *p = tmp + sizeof tmp;
    while (u >= 100) {
        const unsigned d = unsigned(u % 100) * 2;
        u /= 100;
        *--p = digitPairs[d + 1];
        *--p = digitPairs[d];
    }
    if (u >= 10) {
        *--p = digitPairs[u * 2 + 1];
        *--p = digitPairs[u * 2];
    } else {
        *--p = char('0' + u);
    }
    const std::size_t n = std::size_t(tmp + sizeof tmp - p);
    std::memcpy(out, p, n);
    return out + n;
}

// Six digits with leading zeros (value below 10^6).
char *putSix(char *out, unsigned v)
{
    const unsigned hi = v / 10000, mid = v / 100 % 100, lo = v % 100;
    out[0] = digitPairs[hi * 2];
    out[1] = digitPairs[hi * 2 + 1];
    out[2] = digitPairs[mid * 2];
    out[3] = digitPairs[mid * 2 + 1];
    out[4] = digitPairs[lo * 2];
    out[5] = digitPairs[lo * 2 + 1];
    return out + 6;
}

char *putText(char *out, const char *s)
{
    const std::size_t n = std::strlen(s);
    std::memcpy(out, s, n);
    return out + n;
}

// The stream itself, for the doubles the integer path cannot hold (none of them is a float).
char *streamed(char *out, double value, QTextStream::RealNumberNotation notation)
{
    QString s;
    QTextStream ts(&s);
    ts.setRealNumberNotation(notation);
    ts << value;
    ts.flush();
    const QByteArray b = s.toLatin1();
    std::memcpy(out, b.constData(), std::size_t(b.size()));
    return out + b.size();
}

// `count` correctly rounded significant digits of a > 0 (ties to even) and the decimal exponent
// of the first one: a ~ d0.d1d2... * 10^exp10.
void roundedDigits(double a, int count, char *digits, int &exp10)
{
    char buf[64];
#if NUMFORMAT_HAS_TO_CHARS
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, count - 1);
    *res.ptr = '\0';
#else
    std::snprintf(buf, sizeof buf, "%.*e", count - 1, a);
#endif
    // d[<decimal point>ddd]e<sign>xx; the point is whatever the locale uses.
    const char *p = buf;
    digits[0] = *p++;
    int n = 1;
    while (*p && *p != 'e' && *p != 'E') {
        if (*p >= '0' && *p <= '9')
            digits[n++] = *p;
        ++p;
    }
    int e = 0;
    bool negative = false;
    if (*p) {
        ++p;
        negative = *p == '-';
        if (*p == '-' || *p == '+')
            ++p;
        while (*p >= '0' && *p <= '9')
            e = e * 10 + (*p++ - '0');
    }
    exp10 = negative ? -e : e;
}

// The fewest significant digits (at most 9) of a float a > 0 that read back as a, and the
// decimal exponent of the first.
int shortestDigits(float a, char *digits, int &exp10)
{
#if NUMFORMAT_HAS_TO_CHARS
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific);
    *res.ptr = '\0';
    int n = 0;
    const char *p = buf;
    while (*p && *p != 'e') {
        if (*p != '.')
            digits[n++] = *p;
        ++p;
    }
    exp10 = std::atoi(p + 1);
    return n;
#else
    for (int count = 1;; ++count) {
        roundedDigits(double(a), count, digits, exp10);
        if (count == 9)
            return count;
        char text[32];
        char *t = text;
        *t++ = digits[0];
        *t++ = '.';
        std::memcpy(t, digits + 1, std::size_t(count - 1));
        t += count - 1;
        t += std::snprintf(t, 8, "e%d", exp10);
        float back;
        NumScan::Cursor c{text, t};
        if (NumScan::readFloat(c, back) && back == a)
            return count;
    }
#endif
}

// Significant digits d[0 .. n-1] (no trailing zero) of a number d0.d1d2... * 10^exp10, in
// exponent form (d[.ddd]e+XX, two exponent digits at least) or fixed notation.
char *putDigits(char *out, const char *d, int n, int exp10, bool scientific)
{
    if (scientific) {
        *out++ = d[0];
        if (n > 1) {
            *out++ = '.';
            std::memcpy(out, d + 1, std::size_t(n - 1));
            out += n - 1;
        }
        *out++ = 'e';
        *out++ = exp10 < 0 ? '-' : '+';
        const int e = exp10 < 0 ? -exp10 : exp10;
        if (e < 10)
            *out++ = '0';
        return putUnsigned(out, std::uint64_t(e));
    }
    if (exp10 >= 0) {
        const int intDigits = exp10 + 1;
        for (int i = 0; i < intDigits; ++i)
            *out++ = i < n ? d[i] : '0';
        if (n > intDigits) {
            *out++ = '.';
            std::memcpy(out, d + intDigits, std::size_t(n - intDigits));
            out += n - intDigits;
        }
        return out;
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = exp10 + 1; i < 0; ++i)
        *out++ = '0';
    std::memcpy(out, d, std::size_t(n));
    return out + n;
}

// Six significant digits of a > 0, exact ties rounded up, and the decimal exponent.
void sixDigits(double a, char digits[6], int &exp10)
{
    char d[8];
    roundedDigits(a, 6, d, exp10);
    std::memcpy(digits, d, 6);

    // A tie sits exactly halfway: 2 * a * 10^k is an odd integer, with k = 5 - exp10 putting
    // six digits before the point. With a = m * 2^e (m odd) that needs e + 1 + k = 0, and for
    // k < 0 also 5^-k dividing m. Rounding up into a carry (999999.5 -> 1e+06) goes the same
    // way in both rules, so exp10 is the exponent of a itself whenever a tie matters.
    const int k = 5 - exp10;
    const Binary b = decompose(a);
    if (b.exp + 1 + k != 0)
        return;
    if (k < 0) {
        if (-k > 22)   // 5^23 exceeds every 53-bit mantissa
            return;
        std::uint64_t pow5 = 1;
        for (int i = 0; i < -k; ++i)
            pow5 *= 5;
        if (b.mant % pow5 != 0)
            return;
    }
    // The tie has exactly seven significant digits, so these are exact; round the sixth up.
    roundedDigits(a, 7, d, exp10);
    int i = 5;
    while (i >= 0 && d[i] == '9')
        d[i--] = '0';
    if (i >= 0) {
        ++d[i];
    } else {
        d[0] = '1';
        ++exp10;
    }
    std::memcpy(digits, d, 6);
}

}

char *fixed6(char *out, double value)
{
    if (std::isnan(value))
        return putText(out, "nan");
    if (std::isinf(value))
        return putText(out, value < 0 ? "-inf" : "inf");

    const double a = std::fabs(value);
    std::uint64_t whole = 0;
    unsigned micro = 0;   // the six decimals
    if (a != 0) {
        const Binary b = decompose(a);
        if (b.exp >= 0) {
            if (a >= 18446744073709551616.0)   // 2^64
                return streamed(out, value, QTextStream::FixedNotation);
            whole = b.mant << b.exp;
        } else {
            const int s = -b.exp;   // binary places after the point
            whole = s < 64 ? b.mant >> s : 0;
            const std::uint64_t frac = s < 64 ? b.mant & ((std::uint64_t(1) << s) - 1) : b.mant;
            std::uint64_t q;
            if (s <= 6) {
                q = (frac * 1000000) >> s;   // exact
            } else {
                // frac * 10^6 / 2^s = frac * 15625 / 2^t, rounded half up on the exact value.
                // A float has at most 24 significant bits, so it never leaves this path.
                if (frac > std::numeric_limits<std::uint64_t>::max() / 15625)
                    return streamed(out, value, QTextStream::FixedNotation);
                const std::uint64_t n = frac * 15625;
                const int t = s - 6;
                if (t > 64)
                    q = 0;
                else if (t == 64)
                    q = n >> 63;
                else
                    q = (n >> t) + ((n >> (t - 1)) & 1);
            }
            if (q == 1000000) {
                ++whole;
                q = 0;
            }
            micro = unsigned(q);
        }
    }
    // Zero of either sign prints unsigned; any negative number keeps its sign, even when it
    // rounds to zero (-1e-9 prints -0.000000).
    if (value < 0)
        *out++ = '-';
    out = putUnsigned(out, whole);
    *out++ = '.';
    return putSix(out, micro);
}

char *general6(char *out, double value)
{
    if (std::isnan(value))
        return putText(out, "nan");
    if (std::isinf(value))
        return putText(out, value < 0 ? "-inf" : "inf");
    if (value == 0) {
        *out++ = '0';
        return out;
    }
    if (value < 0)
        *out++ = '-';

    char d[6];
    int exp10;
    sixDigits(std::fabs(value), d, exp10);
    int n = 6;
    while (n > 1 && d[n - 1] == '0')
        --n;

    return putDigits(out, d, n, exp10, exp10 < -4 || exp10 >= 6);
}

char *integer(char *out, qint64 value)
{
    if (value < 0)
        *out++ = '-';
    return putUnsigned(out, value < 0 ? 0 - quint64(value) : quint64(value));
}

char *shortest(char *out, float value)
{
    if (std::isnan(value) || std::isinf(value))
        return general6(out, double(value));
    if (std::signbit(value))
        *out++ = '-';
    if (value == 0) {
        *out++ = '0';
        return out;
    }
    char d[12] = {};
    int exp10;
    const int n = shortestDigits(std::fabs(value), d, exp10);
    return putDigits(out, d, n, exp10, exp10 < -5 || exp10 > 8);
}

qint64 scaled(float value, qint64 scale)
{
    const float v = value * float(scale);
    if (std::isnan(v))
        return 0;
    if (v >= 9223372036854775807.0f)
        return std::numeric_limits<qint64>::max();
    if (v <= -9223372036854775808.0f)
        return std::numeric_limits<qint64>::min();
    return qint64(v);
}

}
