// Evaluation of the Common LUT Format's process nodes, each as the format's definition gives
// it, in single precision. Derived constants (break points, slopes of linear segments) are
// solved once in double precision and kept as floats.

#include "calc/ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Ops {

namespace {

constexpr float fltMin = std::numeric_limits<float>::min();

// MAX(a, b) and MIN(a, b) as the format defines them: a when a > b (a < b), else b.
inline float maxOf(float a, float b) { return a > b ? a : b; }
inline float minOf(float a, float b) { return a < b ? a : b; }
inline float clamp01(float v) { return minOf(1.0f, maxOf(0.0f, v)); }

// The half float at or below a (0 <= a < 65504), as a bit pattern: truncation toward zero.
quint16 halfBelow(float a)
{
    if (a < 6.103515625e-05f)                     // subnormal halves are multiples of 2^-24
        return quint16(a * 16777216.0f);
    quint32 bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int exponent = int(bits >> 23) - 127 + 15;
    return quint16((exponent << 10) | ((bits >> 13) & 0x3ff));
}

// Position of x on a lattice axis of `size` points over 0 to 1: the lower index and the
// fraction toward the next. A NaN takes the first point.
inline void axisPosition(float x, int size, int &index, float &fraction)
{
    const float maxIndex = float(size - 1);
    float p = x * maxIndex;
    if (!(p > 0.0f))
        p = 0.0f;
    else if (p > maxIndex)
        p = maxIndex;
    index = int(p);
    fraction = p - float(index);
}

}

bool parseBitDepth(const QString &text, BitDepth *depth)
{
    static const struct {
        const char *name;
        BitDepth depth;
    } names[] = {{"8i", BitDepth::I8},   {"10i", BitDepth::I10}, {"12i", BitDepth::I12},
                 {"16i", BitDepth::I16}, {"16f", BitDepth::F16}, {"32f", BitDepth::F32}};
    for (const auto &n : names)
        if (text == QLatin1String(n.name)) {
            *depth = n.depth;
            return true;
        }
    return false;
}

float bitDepthScale(BitDepth depth)
{
    switch (depth) {
    case BitDepth::I8: return 255.0f;
    case BitDepth::I10: return 1023.0f;
    case BitDepth::I12: return 4095.0f;
    case BitDepth::I16: return 65535.0f;
    default: return 1.0f;
    }
}

float halfToFloat(quint16 bits)
{
    const int exponent = (bits >> 10) & 0x1f;
    const int mantissa = bits & 0x3ff;
    float value;
    if (exponent == 0)
        value = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        value = mantissa ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    else
        value = std::ldexp(float(1024 + mantissa), exponent - 25);
    return (bits & 0x8000) ? -value : value;
}

void Matrix::apply(float *rgb) const
{
    const float v[3] = {rgb[0] * inScale, rgb[1] * inScale, rgb[2] * inScale};
    for (int row = 0; row < 3; ++row)
        rgb[row] = (v[0] * m[row][0] + v[1] * m[row][1] + v[2] * m[row][2] + m[row][3]) / outScale;
}

float Lut1D::linear(float x, int ch) const
{
    int i;
    float f;
    axisPosition(x, size, i, f);
    const float v0 = values[std::size_t(i) * 3 + std::size_t(ch)];
    if (f == 0.0f)
        return v0;
    const float v1 = values[std::size_t(i + 1) * 3 + std::size_t(ch)];
    return f * (v1 - v0) + v0;
}

// Entry k is the output for the half whose bit pattern is k; between two neighbouring halves
// the output is interpolated linearly. Beyond the largest finite half the ends hold.
float Lut1D::halfIndexed(float x, int ch) const
{
    if (std::isnan(x))
        return x;
    const quint16 sign = std::signbit(x) ? 0x8000 : 0;
    const float a = std::fabs(x);
    auto entry = [&](quint16 bits) { return values[std::size_t(sign | bits) * 3 + std::size_t(ch)]; };
    if (a >= 65504.0f)
        return entry(0x7bff);
    const quint16 h = halfBelow(a);
    const float v0 = halfToFloat(h);
    const float e0 = entry(h);
    if (v0 == a)
        return e0;
    const float f = (a - v0) / (halfToFloat(quint16(h + 1)) - v0);
    return f * (entry(quint16(h + 1)) - e0) + e0;
}

void Lut1D::apply(float *rgb) const
{
    for (int ch = 0; ch < 3; ++ch)
        rgb[ch] = halfDomain ? halfIndexed(rgb[ch], ch) : linear(rgb[ch], ch);
}

void Lut3D::apply(float *rgb) const
{
    int i0[3], i1[3];
    float f[3];
    for (int ch = 0; ch < 3; ++ch) {
        axisPosition(rgb[ch], size, i0[ch], f[ch]);
        i1[ch] = i0[ch] + (i0[ch] < size - 1 ? 1 : 0);
    }
    const float *c000 = at(i0[0], i0[1], i0[2]), *c001 = at(i0[0], i0[1], i1[2]);
    const float *c010 = at(i0[0], i1[1], i0[2]), *c011 = at(i0[0], i1[1], i1[2]);
    const float *c100 = at(i1[0], i0[1], i0[2]), *c101 = at(i1[0], i0[1], i1[2]);
    const float *c110 = at(i1[0], i1[1], i0[2]), *c111 = at(i1[0], i1[1], i1[2]);
    const float dr = f[0], dg = f[1], db = f[2];

    for (int ch = 0; ch < 3; ++ch) {
        const float v000 = c000[ch], v001 = c001[ch], v010 = c010[ch], v011 = c011[ch];
        const float v100 = c100[ch], v101 = c101[ch], v110 = c110[ch], v111 = c111[ch];
        if (!tetrahedral) {
            const float c1 = v001 - v000, c2 = v100 - v000, c3 = v010 - v000;
            const float c4 = v101 - v100 - v001 + v000, c5 = v110 - v010 - v100 + v000;
            const float c6 = v011 - v010 - v001 + v000;
            const float c7 = v111 - v110 - v011 - v101 + v001 + v010 + v100 - v000;
            rgb[ch] = v000 + c1 * db + c2 * dr + c3 * dg + c4 * db * dr + c5 * dr * dg + c6 * dg * db + c7 * dr * dg * db;
            continue;
        }
        // The six tetrahedra around the main diagonal, as value + db * x + dr * y + dg * z.
        // Ties (two equal fractions) go to a tetrahedron that holds the point, where the
        // strict comparisons of the published conditions would send some of them astray.
        float x, y, z;
        if (dr >= dg) {
            if (dg >= db) {          // r >= g >= b
                x = v111 - v110, y = v100 - v000, z = v110 - v100;
            } else if (dr >= db) {   // r >= b > g
                x = v101 - v100, y = v100 - v000, z = v111 - v101;
            } else {                 // b > r >= g
                x = v001 - v000, y = v101 - v001, z = v111 - v101;
            }
        } else {
            if (db >= dg) {          // b >= g > r
                x = v001 - v000, y = v111 - v011, z = v011 - v001;
            } else if (db >= dr) {   // g > b >= r
                x = v011 - v010, y = v111 - v011, z = v010 - v000;
            } else {                 // g > r > b
                x = v111 - v110, y = v110 - v010, z = v010 - v000;
            }
        }
        rgb[ch] = v000 + db * x + dr * y + dg * z;
    }
}

void Range::apply(float *rgb) const
{
    for (int ch = 0; ch < 3; ++ch) {
        const float in = rgb[ch] * inScale;
        float out;
        if (hasMin && hasMax) {
            // The offset is summed first: added to the input one term at a time, bounds far
            // from the values (-65504 to 65504) would round away most of the input's digits.
            const float scale = (maxOut - minOut) / (maxIn - minIn);
            out = in * scale + (minOut - minIn * scale);
            if (clamp)
                out = minOf(maxOut, maxOf(minOut, out));
        } else if (hasMin) {
            out = maxOf(minOut, in * (outScale / inScale));
        } else {
            out = minOf(maxOut, in * (outScale / inScale));
        }
        rgb[ch] = out / outScale;
    }
}

void AscCdl::apply(float *rgb) const
{
    const bool clamps = style == Fwd || style == Rev;
    float v[3];
    if (style == Fwd || style == FwdNoClamp) {
        for (int ch = 0; ch < 3; ++ch) {
            const float sop = rgb[ch] * slope[ch] + offset[ch];
            if (clamps)
                v[ch] = std::pow(clamp01(sop), power[ch]);
            else
                v[ch] = sop < 0.0f ? sop : std::pow(sop, power[ch]);
        }
        const float luma = 0.2126f * v[0] + 0.7152f * v[1] + 0.0722f * v[2];
        for (int ch = 0; ch < 3; ++ch) {
            const float out = luma + saturation * (v[ch] - luma);
            rgb[ch] = clamps ? clamp01(out) : out;
        }
        return;
    }
    for (int ch = 0; ch < 3; ++ch)
        v[ch] = clamps ? clamp01(rgb[ch]) : rgb[ch];
    const float luma = 0.2126f * v[0] + 0.7152f * v[1] + 0.0722f * v[2];
    for (int ch = 0; ch < 3; ++ch) {
        const float sat = luma + (v[ch] - luma) / saturation;
        float powered;
        if (clamps)
            powered = std::pow(clamp01(sat), 1.0f / power[ch]);
        else
            powered = sat < 0.0f ? sat : std::pow(sat, 1.0f / power[ch]);
        const float out = (powered - offset[ch]) / slope[ch];
        rgb[ch] = clamps ? clamp01(out) : out;
    }
}

bool Log::prepare(QString *why)
{
    const bool camera = style == CameraLinToLog || style == CameraLogToLin;
    const bool inverse = style == LogToLin || style == CameraLogToLin;
    if (style < LinToLog)
        return true;
    for (LogParams &p : params) {
        if (!(p.base > 0.0f) || p.base == 1.0f) {
            *why = QStringLiteral("Log base %1 has no logarithm").arg(double(p.base));
            return false;
        }
        if (inverse && (p.logSideSlope == 0.0f || p.linSideSlope == 0.0f)) {
            *why = QStringLiteral("Log with logSideSlope or linSideSlope 0 cannot be inverted");
            return false;
        }
        if (!camera)
            continue;
        if (!p.hasLinSideBreak) {
            *why = QStringLiteral("Log style %1 needs linSideBreak").arg(QLatin1String(style == CameraLinToLog ? "cameraLinToLog" : "cameraLogToLin"));
            return false;
        }
        const double atBreak = double(p.linSideSlope) * p.linSideBreak + p.linSideOffset;
        if (!(atBreak > 0.0)) {
            *why = QStringLiteral("Log linSideBreak %1 lies where the logarithm is undefined").arg(double(p.linSideBreak));
            return false;
        }
        const double lnBase = std::log(double(p.base));
        const double logSideBreak = p.logSideSlope * (std::log(atBreak) / lnBase) + p.logSideOffset;
        const double linearSlope = p.hasLinearSlope ? double(p.linearSlope) : p.logSideSlope * (p.linSideSlope / (atBreak * lnBase));
        if (style == CameraLogToLin && linearSlope == 0.0) {
            *why = QStringLiteral("Log with linearSlope 0 cannot be inverted");
            return false;
        }
        p.logSideBreak = float(logSideBreak);
        p.linearSlope = float(linearSlope);
        p.linearOffset = float(logSideBreak - linearSlope * p.linSideBreak);
    }
    return true;
}

float Log::one(float x, const LogParams &p) const
{
    auto linToLog = [&p](float v) {
        return p.logSideSlope * (std::log(maxOf(p.linSideSlope * v + p.linSideOffset, fltMin)) / std::log(p.base)) + p.logSideOffset;
    };
    auto logToLin = [&p](float v) {
        return (std::pow(p.base, (v - p.logSideOffset) / p.logSideSlope) - p.linSideOffset) / p.linSideSlope;
    };
    switch (style) {
    case Log10: return std::log10(maxOf(x, fltMin));
    case AntiLog10: return std::pow(10.0f, x);
    case Log2: return std::log2(maxOf(x, fltMin));
    case AntiLog2: return std::exp2(x);
    case LinToLog: return linToLog(x);
    case LogToLin: return logToLin(x);
    case CameraLinToLog: return x <= p.linSideBreak ? p.linearSlope * x + p.linearOffset : linToLog(x);
    case CameraLogToLin: return x <= p.logSideBreak ? (x - p.linearOffset) / p.linearSlope : logToLin(x);
    }
    return x;
}

void Log::apply(float *rgb) const
{
    for (int ch = 0; ch < 3; ++ch)
        rgb[ch] = one(rgb[ch], params[std::size_t(ch)]);
}

bool Exponent::prepare(QString *why)
{
    for (ExponentParams &p : params) {
        if (p.identity)
            continue;
        if (!(p.exponent > 0.0f)) {
            *why = QStringLiteral("Exponent exponent %1 is not above 0").arg(double(p.exponent));
            return false;
        }
        if (!isMonCurve())
            continue;
        if (p.exponent < 1.0f || !(p.offset >= 0.0f)) {
            *why = QStringLiteral("Exponent monCurve needs an exponent of 1 or more and an offset of 0 or more, not %1 and %2")
                       .arg(double(p.exponent)).arg(double(p.offset));
            return false;
        }
        // The published break points divide by (g - 1) and by k; at those ends the curve's
        // limits are taken instead: with g = 1 the linear segment x / (1 + k) covers every
        // value, with k = 0 the power segment starts at 0 and below it the slope is 0.
        const double g = p.exponent, k = p.offset;
        if (g == 1.0) {
            p.breakIn = std::numeric_limits<float>::infinity();
            p.slope = float(1.0 / (1.0 + k));
        } else if (k == 0.0) {
            p.breakIn = 0.0f;
            p.slope = 0.0f;
        } else {
            const double yBreak = std::pow(k * g / ((g - 1.0) * (1.0 + k)), g);
            p.slope = float((g - 1.0) / k * yBreak);
            p.breakIn = float(style == MonCurveFwd || style == MonCurveMirrorFwd ? k / (g - 1.0) : yBreak);
        }
    }
    return true;
}

float Exponent::one(float x, const ExponentParams &p) const
{
    const float g = p.exponent, k = p.offset;
    auto monFwd = [&](float v) { return v >= p.breakIn ? std::pow((v + k) / (1.0f + k), g) : v * p.slope; };
    // Below the break a zero slope (offset 0) has no inverse; such values go to 0, as the
    // basic styles clamp them.
    auto monRev = [&](float v) {
        if (v >= p.breakIn)
            return (1.0f + k) * std::pow(v, 1.0f / g) - k;
        return p.slope > 0.0f ? v / p.slope : 0.0f;
    };
    switch (style) {
    case BasicFwd: return std::pow(maxOf(0.0f, x), g);
    case BasicRev: return std::pow(maxOf(0.0f, x), 1.0f / g);
    case BasicMirrorFwd: return x >= 0.0f ? std::pow(x, g) : -std::pow(-x, g);
    case BasicMirrorRev: return x >= 0.0f ? std::pow(x, 1.0f / g) : -std::pow(-x, 1.0f / g);
    case BasicPassThruFwd: return x >= 0.0f ? std::pow(x, g) : x;
    case BasicPassThruRev: return x >= 0.0f ? std::pow(x, 1.0f / g) : x;
    case MonCurveFwd: return monFwd(x);
    case MonCurveRev: return monRev(x);
    case MonCurveMirrorFwd: return x >= 0.0f ? monFwd(x) : -monFwd(-x);
    case MonCurveMirrorRev: return x >= 0.0f ? monRev(x) : -monRev(-x);
    }
    return x;
}

void Exponent::apply(float *rgb) const
{
    for (int ch = 0; ch < 3; ++ch)
        if (!params[std::size_t(ch)].identity)
            rgb[ch] = one(rgb[ch], params[std::size_t(ch)]);
}

void Curve::apply(float *rgb) const
{
    for (int ch = 0; ch < 3; ++ch) {
        const std::vector<float> &xs = x[ch], &ys = y[ch];
        const float v = rgb[ch];
        if (xs.empty() || std::isnan(v))
            continue;
        if (!(v > xs.front())) {
            rgb[ch] = ys.front();
            continue;
        }
        if (!(v < xs.back())) {
            rgb[ch] = ys.back();
            continue;
        }
        const std::size_t hi = std::size_t(std::upper_bound(xs.begin(), xs.end(), v) - xs.begin());
        const std::size_t lo = hi - 1;
        if (smooth && xs.size() > 2) {
            rgb[ch] = smoothAt(ch, lo, v);
            continue;
        }
        const float width = xs[hi] - xs[lo];
        const float f = width > 0.0f ? (v - xs[lo]) / width : 0.0f;
        rgb[ch] = f * (ys[hi] - ys[lo]) + ys[lo];
    }
}

// Cubic Hermite on [x[lo], x[lo + 1]] with the slopes Curve describes.
float Curve::smoothAt(int ch, std::size_t lo, float v) const
{
    const std::vector<float> &xs = x[ch], &ys = y[ch];
    const std::size_t n = xs.size();
    const float h = xs[lo + 1] - xs[lo];
    if (!(h > 0.0f))
        return ys[lo];
    auto chord = [&](std::size_t i) { return (ys[i + 1] - ys[i - 1]) / (xs[i + 1] - xs[i - 1]); };
    auto secant = [&](std::size_t i) { return (ys[i + 1] - ys[i]) / (xs[i + 1] - xs[i]); };
    auto slope = [&](std::size_t i) {
        if (i == 0)
            return 2.0f * secant(0) - chord(1);
        if (i == n - 1)
            return 2.0f * secant(n - 2) - chord(n - 2);
        return chord(i);
    };
    const float t = (v - xs[lo]) / h;
    const float t2 = t * t, t3 = t2 * t;
    const float h00 = 2.0f * t3 - 3.0f * t2 + 1.0f, h10 = t3 - 2.0f * t2 + t;
    const float h01 = 3.0f * t2 - 2.0f * t3, h11 = t3 - t2;
    return h00 * ys[lo] + h10 * h * slope(lo) + h01 * ys[lo + 1] + h11 * h * slope(lo + 1);
}

bool Curve::straight(int ch) const
{
    const std::vector<float> &xs = x[ch], &ys = y[ch];
    const std::size_t n = xs.size();
    if (n < 3)
        return true;
    const double dx = double(xs.back()) - double(xs.front()), dy = double(ys.back()) - double(ys.front());
    if (!(dx > 0.0))
        return false;
    const double tolerance = 1e-6 * std::max(1.0, std::max(std::fabs(double(ys.front())), std::fabs(double(ys.back()))));
    for (std::size_t i = 1; i + 1 < n; ++i)
        if (std::fabs(double(ys.front()) + dy * (double(xs[i]) - double(xs.front())) / dx - double(ys[i])) > tolerance)
            return false;
    return true;
}

bool Curve::evenlySpaced(int ch) const
{
    const std::vector<float> &xs = x[ch];
    const std::size_t n = xs.size();
    if (n < 2)
        return false;
    const double step = (double(xs.back()) - double(xs.front())) / double(n - 1);
    const double tolerance = 1e-6 * std::max(1.0, std::max(std::fabs(double(xs.front())), std::fabs(double(xs.back()))));
    for (std::size_t i = 0; i < n; ++i)
        if (std::fabs(double(xs[i]) - (double(xs.front()) + step * double(i))) > tolerance)
            return false;
    return step > 0.0;
}

int Chain::largestLut3D() const
{
    int largest = 0;
    for (const auto &n : nodes_)
        if (const auto *lut = dynamic_cast<const Lut3D *>(n.get()))
            largest = std::max(largest, lut->size);
    return largest;
}

}
