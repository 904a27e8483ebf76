// Table operations beside resampling: identity fills, composition, 3D <-> 1D conversion,
// integer interpolation for 8-bit inputs, and 16-bit device-word packing.

#include "calc/lutcalc.h"

#include <algorithm>
#include <cmath>

#include "calc/tetrahedron.h"
#include "lut/read_lutfile.h"

namespace {

// The number of nodes per axis (entries) that can really be walked: never more than the
// table allocated, whatever the size field says.
int size3D(const Read_LUTFile &lut)
{
    return lut.allocated3DSize();
}

int size1D(const Read_LUTFile &lut)
{
    return lut.allocated1DSize();
}

// i / (n - 1) in float; a one-point table sits at 0 instead of 0 / 0.
float position(int i, int n)
{
    return n > 1 ? float(i) / float(n - 1) : 0.0f;
}

bool validBits(int bits)
{
    return bits >= 1 && bits <= 16;
}

double fullScale(int bits)
{
    return std::pow(2.0, bits) - 1.0;
}

// value * F in float, truncated toward zero, low 16 bits. Values outside 0..1 (and NaN) are
// clamped first so that the conversion to an integer is always defined.
uint16_t packWord(float value, float F)
{
    float v = value * F;
    if (!(v >= 0.0f))
        v = 0.0f;
    if (v > F)
        v = F;
    return uint16_t(uint32_t(v) & 0xFFFFu);
}

float unpackWord(uint16_t word, double full)
{
    return float(double(word) / full);
}

// Tables are stored element after element in the word order of the device (node [i][j][k]
// at 3 * ((i * N + j) * N + k), red slowest), so packing walks the floats in place.
void packFloats(uint16_t *words, int bits, const float *values, std::size_t count)
{
    if (!validBits(bits))
        return;
    const float F = float(int64_t(fullScale(bits)));
    for (std::size_t i = 0; i < count; ++i)
        words[i] = packWord(values[i], F);
}

void unpackFloats(const uint16_t *words, int bits, float *values, std::size_t count)
{
    if (!validBits(bits))
        return;
    const double full = fullScale(bits);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = unpackWord(words[i], full);
}

// A node element as an 8-bit code: value * 255 truncated, the value held to 0..1 first.
uint64_t code(float value)
{
    float v = value;
    if (!(v >= 0.0f))
        v = 0.0f;
    if (v > 1.0f)
        v = 1.0f;
    return uint64_t(v * 255.0f);
}

}

void LutCalc::Lut3D_OnebyOne(Read_LUTFile &lut)
{
    const int n = size3D(lut);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                float *v = lut.lut3D[i][j][k];
                v[0] = position(i, n);
                v[1] = position(j, n);
                v[2] = position(k, n);
            }
}

void LutCalc::Lut1D_OnebyOne(Read_LUTFile &lut)
{
    const int m = size1D(lut);
    for (int e = 0; e < m; ++e) {
        float *v = lut.lut1D[e];
        v[0] = v[1] = v[2] = position(e, m);
    }
}

void LutCalc::Lut3D_Merge(const Read_LUTFile &first, const Read_LUTFile &second, Read_LUTFile &out)
{
    if (size3D(first) < 1 || size3D(second) < 1)
        return;
    const int n = size3D(out);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const float in[3] = {position(i, n), position(j, n), position(k, n)};
                float mid[3];
                Lut3D_Tetrahedral(in, mid, first);
                Lut3D_Tetrahedral(mid, out.lut3D[i][j][k], second);
            }
}

void LutCalc::Lut3D_to_Lut1D(const Read_LUTFile &src, Read_LUTFile &dst)
{
    const int m = size1D(dst);
    for (int e = 0; e < m; ++e) {
        const float x = position(e, m);
        const float in[3] = {x, x, x};
        Lut3D_Tetrahedral(in, dst.lut1D[e], src);
    }
}

void LutCalc::Lut1D_to_Lut3D(const Lut1DTable &table, int size, Read_LUTFile &dst)
{
    const int entries = table ? std::min(size, table.size()) : 0;
    const int n = size3D(dst);
    if (entries < 1)
        return;
    // Entry at or below each lattice position, held inside the table.
    auto entry = [&](int i) {
        const int e = int(position(i, n) * float(entries - 1));
        return table[std::clamp(e, 0, entries - 1)];
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                float *v = dst.lut3D[i][j][k];
                v[0] = entry(i)[0];
                v[1] = entry(j)[1];
                v[2] = entry(k)[2];
            }
}

void LutCalc::Lut3D_Tetrahedral_Int(const uint64_t *in, uint64_t *out, const Read_LUTFile &lut)
{
    const int n = size3D(lut);
    if (n < 2) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const uint64_t w = 255 / uint64_t(n - 1);
    const uint64_t top = uint64_t(n - 1);
    uint64_t lo[3], hi[3], f[3];
    for (int ch = 0; ch < 3; ++ch) {
        const uint64_t x = std::min<uint64_t>(in[ch], 255);
        lo[ch] = x / w;
        f[ch] = x % w;
        hi[ch] = f[ch] > 1 ? lo[ch] + 1 : lo[ch];
        // When n - 1 does not divide 255 the codes above (n - 1) * w lie beyond the last node
        // (with 17 points: 241 to 255); they take the last node's value.
        if (hi[ch] > top) {
            lo[ch] = hi[ch] = top;
            f[ch] = 0;
        }
    }
    withTetrahedron(f[0], f[1], f[2], w, [&](const Tetrahedron<uint64_t> &t) {
        const float *p[4];
        for (int i = 0; i < 4; ++i) {
            uint64_t index[3];
            cornerOf(t.path[i], lo, hi, index);
            p[i] = lut.lut3D[index[0]][index[1]][index[2]];
        }
        for (int ch = 0; ch < 3; ++ch)
            out[ch] = blend(t, code(p[0][ch]), code(p[1][ch]), code(p[2][ch]), code(p[3][ch])) / w;
    });
}

std::size_t LutCalc::uartWords3D(const Read_LUTFile &lut)
{
    const std::size_t n = std::size_t(size3D(lut));
    return 3 * n * n * n;
}

std::size_t LutCalc::uartWords1D(const Read_LUTFile &lut)
{
    return 3 * std::size_t(size1D(lut));
}

void LutCalc::Lut3D_to_Uart(uint16_t *words, int bits, const Read_LUTFile &lut)
{
    packFloats(words, bits, lut.lut3D.data(), uartWords3D(lut));
}

void LutCalc::Uart_to_Lut3D(const uint16_t *words, int bits, Read_LUTFile &lut)
{
    unpackFloats(words, bits, lut.lut3D.data(), uartWords3D(lut));
}

void LutCalc::Lut1D_to_Uart(uint16_t *words, int bits, const Read_LUTFile &lut)
{
    packFloats(words, bits, lut.lut1D.data(), uartWords1D(lut));
}

void LutCalc::Uart_to_Lut1D(const uint16_t *words, int bits, Read_LUTFile &lut)
{
    unpackFloats(words, bits, lut.lut1D.data(), uartWords1D(lut));
}

void LutCalc::Gamma_to_Uart(uint16_t *words, int bits, const Read_LUTFile &lut)
{
    if (!validBits(bits))
        return;
    const float F = float(int64_t(fullScale(bits)));
    const int m = size1D(lut);
    for (int e = 0; e < m; ++e)
        words[e] = packWord(lut.lut1D[e][0], F);
}

void LutCalc::Uart_to_Gamma(const uint16_t *words, int bits, Read_LUTFile &lut)
{
    if (!validBits(bits))
        return;
    const double full = fullScale(bits);
    const int m = size1D(lut);
    for (int e = 0; e < m; ++e) {
        float *v = lut.lut1D[e];
        v[0] = v[1] = v[2] = unpackWord(words[e], full);
    }
}
