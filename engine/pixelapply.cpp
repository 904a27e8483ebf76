#include "engine/pixelapply.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <type_traits>
#include <vector>

#include "calc/lutcalc.h"
#include "calc/transform.h"
#include "lut/read_lutfile.h"

namespace PixelApply {

namespace {

// Pixels are handed out in bands small enough to keep every thread busy to the end.
constexpr std::size_t band = 8192;

template <typename Band>
void forEachBand(std::size_t count, int threads, Band work)
{
    const std::size_t bands = (count + band - 1) / band;
    const int workers = int(std::max<std::size_t>(1, std::min<std::size_t>(std::size_t(std::max(threads, 1)), bands)));
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        std::vector<float> rgb(band * 3);
        for (std::size_t b; (b = next.fetch_add(1)) < bands;) {
            const std::size_t first = b * band;
            work(first, std::min(count, first + band) - first, rgb.data());
        }
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < workers; ++i)
        pool.emplace_back(worker);
    worker();
    for (std::thread &t : pool)
        t.join();
}

template <typename T>
void applyValues(const LutTransform &lut, T *pixels, std::size_t count, int channels, int threads)
{
    if (lut.isEmpty())
        return;
    forEachBand(count, threads, [&](std::size_t first, std::size_t n, float *rgb) {
        T *p = pixels + first * std::size_t(channels);
        if constexpr (std::is_same<T, float>::value) {
            if (channels == 3) {
                lut.apply(p, p, n);
                return;
            }
        }
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + std::size_t(c)] = float(p[i * std::size_t(channels) + std::size_t(c)]);
        lut.apply(rgb, rgb, n);
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                p[i * std::size_t(channels) + std::size_t(c)] = T(rgb[i * 3 + std::size_t(c)]);
    });
}

using PixelApply::toCode;

template <typename T>
void applyCodes(const LutTransform &lut, T *pixels, std::size_t count, int channels, int threads)
{
    if (lut.isEmpty())
        return;
    constexpr std::size_t codes = std::size_t(T(~T(0))) + 1;
    const float full = float(codes - 1);
    const std::size_t stride = std::size_t(channels);
    if (lut.hasShaper() && !lut.hasLattice()) {
        // Each channel through its own curve: a table of what every code becomes.
        std::vector<T> table(codes * 3);
        for (std::size_t v = 0; v < codes; ++v) {
            const float x = float(v) / full;
            const float in[3] = {x, x, x};
            float out[3];
            LutCalc::Lut1D_liner(in, out, *lut.tables());
            for (int c = 0; c < 3; ++c)
                table[std::size_t(c) * codes + v] = T(toCode(out[c], full));
        }
        forEachBand(count, threads, [&](std::size_t first, std::size_t n, float *) {
            T *p = pixels + first * stride;
            for (std::size_t i = 0; i < n; ++i, p += stride)
                for (int c = 0; c < 3; ++c)
                    p[c] = table[std::size_t(c) * codes + p[c]];
        });
        return;
    }
    std::vector<float> toFloat(codes);
    for (std::size_t v = 0; v < codes; ++v)
        toFloat[v] = float(v) / full;
    forEachBand(count, threads, [&](std::size_t first, std::size_t n, float *rgb) {
        T *p = pixels + first * stride;
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + std::size_t(c)] = toFloat[p[i * stride + std::size_t(c)]];
        lut.apply(rgb, rgb, n);
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                p[i * stride + std::size_t(c)] = T(toCode(rgb[i * 3 + std::size_t(c)], full));
    });
}

}

void apply(const LutTransform &lut, float *pixels, std::size_t count, int channels, int threads)
{
    applyValues(lut, pixels, count, channels, threads);
}

void apply(const LutTransform &lut, double *pixels, std::size_t count, int channels, int threads)
{
    applyValues(lut, pixels, count, channels, threads);
}

void apply(const LutTransform &lut, quint8 *pixels, std::size_t count, int channels, int threads)
{
    applyCodes(lut, pixels, count, channels, threads);
}

void apply(const LutTransform &lut, quint16 *pixels, std::size_t count, int channels, int threads)
{
    applyCodes(lut, pixels, count, channels, threads);
}

}
