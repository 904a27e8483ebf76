#include "engine/imageapply.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "calc/lutcalc.h"
#include "calc/transform.h"
#include "engine/pixelapply.h"
#include "engine/workers.h"
#include "lut/read_lutfile.h"

namespace ImageApply {

namespace {

using PixelApply::toCode;

// Rows are handed out in small bands so that both threads stay busy to the end.
template <typename RowFn>
void forEachRow(int height, int threads, RowFn rowFn)
{
    constexpr int band = 16;
    std::atomic<int> next{0};
    auto worker = [&]() {
        for (;;) {
            const int first = next.fetch_add(band);
            if (first >= height)
                return;
            const int last = std::min(height, first + band);
            for (int y = first; y < last; ++y)
                rowFn(y);
        }
    };
    runWorkers(std::max(1, std::min(threads, (height + band - 1) / band)), worker);
}

// Pixel access of the two working layouts: 8-bit 0xAARRGGBB words and 16-bit R, G, B, A halfwords.
struct Pixels8 {
    using Word = quint32;
    static constexpr float full = 255.0f;
    static constexpr int perPixel = 1;
    static void get(const Word *p, quint32 c[3])
    {
        c[0] = (*p >> 16) & 0xff;
        c[1] = (*p >> 8) & 0xff;
        c[2] = *p & 0xff;
    }
    static void put(Word *p, const quint32 c[3]) { *p = (*p & 0xff000000u) | (c[0] << 16) | (c[1] << 8) | c[2]; }
};

struct Pixels16 {
    using Word = quint16;
    static constexpr float full = 65535.0f;
    static constexpr int perPixel = 4;
    static void get(const Word *p, quint32 c[3])
    {
        c[0] = p[0];
        c[1] = p[1];
        c[2] = p[2];
    }
    static void put(Word *p, const quint32 c[3])
    {
        p[0] = quint16(c[0]);
        p[1] = quint16(c[1]);
        p[2] = quint16(c[2]);
    }
};

template <typename Px>
void applyAll(ImageFiles::Pixels &image, const LutTransform &lut, int threads)
{
    const int width = image.width;
    std::vector<float> toFloat(std::size_t(Px::full) + 1);
    for (std::size_t v = 0; v < toFloat.size(); ++v)
        toFloat[v] = float(v) / Px::full;
    forEachRow(image.height, threads, [&](int y) {
        thread_local std::vector<float> rgb;
        rgb.resize(std::size_t(width) * 3);
        auto *row = reinterpret_cast<typename Px::Word *>(image.row(y));
        quint32 c[3];
        for (int x = 0; x < width; ++x) {
            Px::get(row + x * Px::perPixel, c);
            for (int k = 0; k < 3; ++k)
                rgb[std::size_t(x) * 3 + std::size_t(k)] = toFloat[c[k]];
        }
        lut.apply(rgb.data(), rgb.data(), std::size_t(width));
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < 3; ++k)
                c[k] = toCode(rgb[std::size_t(x) * 3 + std::size_t(k)], Px::full);
            Px::put(row + x * Px::perPixel, c);
        }
    });
}

// A 1D table alone takes every channel through its own curve: one lookup table per channel
// with an entry for every code.
template <typename Px>
void apply1D(ImageFiles::Pixels &image, const Read_LUTFile &lut, int threads)
{
    const std::size_t codes = std::size_t(Px::full) + 1;
    std::vector<quint32> table(codes * 3);
    for (std::size_t v = 0; v < codes; ++v) {
        const float x = float(v) / Px::full;
        const float in[3] = {x, x, x};
        float out[3];
        LutCalc::Lut1D_liner(in, out, lut);
        for (int k = 0; k < 3; ++k)
            table[std::size_t(k) * codes + v] = toCode(out[k], Px::full);
    }
    const int width = image.width;
    forEachRow(image.height, threads, [&](int y) {
        auto *row = reinterpret_cast<typename Px::Word *>(image.row(y));
        quint32 c[3];
        for (int x = 0; x < width; ++x) {
            typename Px::Word *p = row + x * Px::perPixel;
            Px::get(p, c);
            for (int k = 0; k < 3; ++k)
                c[k] = table[std::size_t(k) * codes + c[k]];
            Px::put(p, c);
        }
    });
}

template <typename Px>
void applyTo(ImageFiles::Pixels &image, const LutTransform &lut, int threads)
{
    if (lut.hasShaper() && !lut.hasLattice())
        apply1D<Px>(image, *lut.tables(), threads);
    else if (!lut.isEmpty())
        applyAll<Px>(image, lut, threads);
}

}

void apply(ImageFiles::Pixels &image, const LutTransform &lut, int threads)
{
    switch (image.layout) {
    case ImageFiles::Layout::Rgba64:
    case ImageFiles::Layout::Rgbx64:
        applyTo<Pixels16>(image, lut, threads);
        break;
    case ImageFiles::Layout::Argb32:
    case ImageFiles::Layout::Rgb32:
        applyTo<Pixels8>(image, lut, threads);
        break;
    case ImageFiles::Layout::Rgb24:
        break;
    }
}

}
