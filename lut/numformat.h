#ifndef NUMFORMAT_H
#define NUMFORMAT_H

#include <QtGlobal>

// Number printing for the text writers, byte for byte what QTextStream prints in its default
// C locale, without its per-call cost:
//  - fixed notation with 6 decimals (exact decimal ties round away from zero: 0.0078125 prints
//    0.007813), -0.0 as 0.000000, NaN as nan, infinities as inf / -inf;
//  - the default notation: shortest general form with 6 significant digits (10.03125 prints
//    10.0313).
// Each function writes into `out` (at least 48 bytes free for fixed with small values; use
// NumFormat::maxLength) and returns the end of what it wrote. Every float (as a double) takes
// the fast path; doubles of 2^64 and above, or with more than 50 significant bits after the
// point, are printed by fixed6 through QTextStream itself, exact but slow.
namespace NumFormat {

constexpr int maxLength = 350;   // longest fixed form of a double (1e308 with 6 decimals)

char *fixed6(char *out, double value);
char *general6(char *out, double value);
char *integer(char *out, qint64 value);

// The fewest significant digits that read back as exactly this float (NumScan::readFloat),
// in fixed notation when the decimal exponent is -5 to 8 ("0.1", "-2.5e-06", "1e+09"); NaN
// and infinities as general6 prints them. At most 16 characters.
char *shortest(char *out, float value);

// Integer part of value * scale, in single precision with the scale converted to float
// first, truncated toward zero. NaN gives 0; values beyond the 64-bit range saturate.
qint64 scaled(float value, qint64 scale);

}

#endif
