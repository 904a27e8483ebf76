#include "calc/lutcalc.h"

#include <algorithm>
#include <cmath>

#include "calc/tetrahedron.h"
#include "lut/read_lutfile.h"

namespace {

// Lattice coordinate of one input channel: the two neighbouring indexes and the fraction
// between them. S is size - 1 as a float; scale is (1 / (max - min)) * S.
struct Coord {
    int lo;
    int hi;
    float f;
};

inline float axisScale(float min, float max, float S)
{
    return (1.0f / (max - min)) * S;
}

inline Coord coordinate(float in, float min, float scale, float S)
{
    float t = (in - min) * scale;
    if (S < t)
        t = S;
    // Written so that a NaN (a NaN input, or a zero-width domain) lands on index 0 instead
    // of an undefined conversion to int.
    if (!(t >= 0.0f))
        t = 0.0f;
    // t is within [0, S] here, so truncation is the floor, and the ceiling is one above it
    // unless t is whole (no library call per channel, which images would feel).
    const int lo = int(t);
    const int hi = lo + (t > float(lo) ? 1 : 0);
    return Coord{lo, hi, t - float(lo)};
}

// Everything the interpolator needs of a lattice, worked out once per table.
struct Lattice {
    const float *data;
    int n;
    float S;
    float min[3];
    float scale[3];

    explicit Lattice(const Read_LUTFile &lut)
        : data(lut.lut3D.data()), n(lut.allocated3DSize()), S(float(n - 1))
    {
        for (int ch = 0; ch < 3; ++ch) {
            min[ch] = lut.domainMin3D[ch];
            scale[ch] = axisScale(lut.domainMin3D[ch], lut.domainMax3D[ch], S);
        }
    }

    void interpolate(const float *in, float *out) const
    {
        const Coord r = coordinate(in[0], min[0], scale[0], S);
        const Coord g = coordinate(in[1], min[1], scale[1], S);
        const Coord b = coordinate(in[2], min[2], scale[2], S);
        const std::size_t N = std::size_t(n);
        const float *base = data + ((std::size_t(r.lo) * N + std::size_t(g.lo)) * N + std::size_t(b.lo)) * 3;
        // Corners as offsets from the low one: the step to each axis's high end is 0 where
        // lo = hi.
        const std::size_t none[3] = {0, 0, 0};
        const std::size_t step[3] = {std::size_t(r.hi - r.lo) * N * N * 3, std::size_t(g.hi - g.lo) * N * 3,
                                     std::size_t(b.hi - b.lo) * 3};
        withTetrahedron(r.f, g.f, b.f, 1.0f, [&](const Tetrahedron<float> &t) {
            const float *p[4];
            for (int i = 0; i < 4; ++i) {
                std::size_t offset[3];
                cornerOf(t.path[i], none, step, offset);
                p[i] = base + offset[0] + offset[1] + offset[2];
            }
            for (int k = 0; k < 3; ++k)
                out[k] = blend(t, p[0][k], p[1][k], p[2][k], p[3][k]);
        });
    }
};

}

LutCalc::LutCalc(QObject *parent)
    : QObject(parent)
{
}

void LutCalc::Lut3D_Tetrahedral(const float *in, float *out, const Read_LUTFile &lut)
{
    const Lattice lattice(lut);
    if (lattice.n < 1) {
        // No lattice to look into: nothing maps anywhere.
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    lattice.interpolate(in, out);
}

void LutCalc::Lut3D_TetrahedralMany(const float *in, float *out, std::size_t count, const Read_LUTFile &lut)
{
    const Lattice lattice(lut);
    if (lattice.n < 1) {
        std::fill(out, out + count * 3, 0.0f);
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        lattice.interpolate(in + i * 3, out + i * 3);
}

void LutCalc::Lut3D_Out(const Read_LUTFile &src, Read_LUTFile &dst)
{
    const Lattice lattice(src);
    if (lattice.n < 1)
        return;
    const int N = dst.lut3D ? std::min(dst.lut3DSize, dst.lut3D.size()) : 0;
    if (N < 1)
        return;
    // A one-point destination is a constant table: it takes the source's value at the origin
    // (N - 1 would divide by zero).
    const float div = N > 1 ? float(N - 1) : 1.0f;
    float *outNode = dst.lut3D.data();
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < N; ++j) {
            for (int k = 0; k < N; ++k) {
                const float in[3] = {float(i) / div, float(j) / div, float(k) / div};
                lattice.interpolate(in, outNode);
                outNode += 3;
            }
        }
    }
}

void LutCalc::Lut1D_liner(const float *in, float *out, const Read_LUTFile &lut)
{
    const int n = lut.allocated1DSize();
    if (n < 1) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    const float S = float(n - 1);
    for (int ch = 0; ch < 3; ++ch) {
        const Coord c = coordinate(in[ch], lut.domainMin1D[ch], axisScale(lut.domainMin1D[ch], lut.domainMax1D[ch], S), S);
        const float lo = lut.lut1D[c.lo][ch];
        const float hi = lut.lut1D[c.hi][ch];
        out[ch] = (hi - lo) * c.f + lo;
    }
}

void LutCalc::Lut1D_Out(const Read_LUTFile &src, Read_LUTFile &dst)
{
    if (!src.lut1D || src.lut1DSize < 1)
        return;
    const int N = dst.lut1D ? std::min(dst.lut1DSize, dst.lut1D.size()) : 0;
    const float div = N > 1 ? float(N - 1) : 1.0f;
    for (int i = 0; i < N; ++i) {
        const float x = float(i) / div;
        const float in[3] = {x, x, x};
        Lut1D_liner(in, dst.lut1D[i], src);
    }
}
