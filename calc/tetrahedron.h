#ifndef TETRAHEDRON_H
#define TETRAHEDRON_H

// The split of a cell into six tetrahedra, shared by every tetrahedral interpolator (float
// lattices, 8-bit codes, sampled colours) so that all of them take the same tetrahedron for
// the same fractions. Corners are numbered by the high ends they take: 4 = red, 2 = green,
// 1 = blue; 0 is the low corner and 7 the high one.

template <typename T>
struct Tetrahedron {
    int path[4];  // corners from 0 to 7
    T w[4];       // weights in path order; they add up to the cell's width
};

// Calls use(t) with the tetrahedron the fractions fall in and returns what it returns. Every
// test is a strict greater-than, so a tie goes to the later case: fr = fg = fb takes the path
// green, red, blue. `width` is 1 for fractions, the cell width for integer remainders. Each
// case calls `use` with constant corners, so that an inlined caller finds its corners without
// testing them (a chosen-then-used result costs the resampler about a tenth of its time).
template <typename T, typename Use>
inline auto withTetrahedron(T fr, T fg, T fb, T width, Use &&use)
{
    if (fr > fg) {
        if (fg > fb)
            return use(Tetrahedron<T>{{0, 4, 6, 7}, {width - fr, fr - fg, fg - fb, fb}});
        if (fr > fb)
            return use(Tetrahedron<T>{{0, 4, 5, 7}, {width - fr, fr - fb, fb - fg, fg}});
        return use(Tetrahedron<T>{{0, 1, 5, 7}, {width - fb, fb - fr, fr - fg, fg}});
    }
    if (fb > fg)
        return use(Tetrahedron<T>{{0, 1, 3, 7}, {width - fb, fb - fg, fg - fr, fr}});
    if (fb > fr)
        return use(Tetrahedron<T>{{0, 2, 3, 7}, {width - fg, fg - fb, fb - fr, fr}});
    return use(Tetrahedron<T>{{0, 2, 6, 7}, {width - fg, fg - fr, fr - fb, fb}});
}

// The indexes (or codes) of a corner: per channel the high end where the corner has its bit.
template <typename I>
inline void cornerOf(int corner, const I low[3], const I high[3], I out[3])
{
    out[0] = (corner & 4) ? high[0] : low[0];
    out[1] = (corner & 2) ? high[1] : low[1];
    out[2] = (corner & 1) ? high[2] : low[2];
}

// The weighted sum of four corner values, added in path order.
template <typename T>
inline T blend(const Tetrahedron<T> &t, T v0, T v1, T v2, T v3)
{
    return t.w[0] * v0 + t.w[1] * v1 + t.w[2] * v2 + t.w[3] * v3;
}

// Tetrahedral interpolation inside the box from the codes `low` to `high`, at the fractions f,
// over corners that may be missing: colourAt(codes, colour) fills a corner's colour or answers
// false, and then so does this, leaving out untouched.
template <typename ColourAt>
inline bool blendCorners(const float f[3], const int low[3], const int high[3], ColourAt &&colourAt, float out[3])
{
    return withTetrahedron(f[0], f[1], f[2], 1.0f, [&](const Tetrahedron<float> &t) {
        float colours[4][3];
        for (int i = 0; i < 4; ++i) {
            int codes[3];
            cornerOf(t.path[i], low, high, codes);
            if (!colourAt(codes, colours[i]))
                return false;
        }
        for (int k = 0; k < 3; ++k)
            out[k] = blend(t, colours[0][k], colours[1][k], colours[2][k], colours[3][k]);
        return true;
    });
}

#endif
