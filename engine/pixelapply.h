#ifndef ENGINE_PIXELAPPLY_H
#define ENGINE_PIXELAPPLY_H

#include <QtGlobal>

#include <cstddef>

class LutTransform;

// A LUT applied to pixels in memory: `count` pixels of `channels` interleaved values each
// (3: R, G, B; 4: R, G, B and an alpha that is left alone), in place, on `threads` threads.
//
// Floats go through the transform as they are (doubles as the nearest float, and back).
// Integer codes are taken as code / full scale (255 or 65535), and the result is rounded to the
// nearest code (NaN and values below 0 give 0, values above 1 the full code); a 1D table
// alone is applied through a table of every code. This is what the command line's apply does
// to an image's pixels, to the bit.
namespace PixelApply {

void apply(const LutTransform &lut, float *pixels, std::size_t count, int channels, int threads);
void apply(const LutTransform &lut, double *pixels, std::size_t count, int channels, int threads);
void apply(const LutTransform &lut, quint8 *pixels, std::size_t count, int channels, int threads);
void apply(const LutTransform &lut, quint16 *pixels, std::size_t count, int channels, int threads);

// A value of the nominal range 0..1 as the nearest code of 0..full; NaN gives 0.
inline quint32 toCode(float v, float full)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return quint32(full);
    return quint32(v * full + 0.5f);
}

}

#endif
