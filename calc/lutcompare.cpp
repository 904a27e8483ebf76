#include "calc/lutcompare.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "calc/lutcalc.h"
#include "calc/transform.h"
#include "lut/read_lutfile.h"

namespace LutCompare {

namespace {

// Input colours of one kind: every combination of the three axes' positions (a lattice, the
// blue position changing fastest), or the i-th positions of the three axes together (the
// entries of a 1D table).
struct PointSet {
    std::vector<float> axis[3];
    bool lattice = true;

    std::size_t count() const
    {
        return lattice ? axis[0].size() * axis[1].size() * axis[2].size() : axis[0].size();
    }

    void indices(std::size_t n, std::size_t idx[3]) const
    {
        if (!lattice) {
            idx[0] = idx[1] = idx[2] = n;
            return;
        }
        idx[2] = n % axis[2].size();
        n /= axis[2].size();
        idx[1] = n % axis[1].size();
        idx[0] = n / axis[1].size();
    }
};

// n positions from lo to hi. i / (n - 1) comes first, as in the resampler, so that on the unit
// range a position is exactly the one the resampler looks up and lands on its node.
std::vector<float> positions(float lo, float hi, int n)
{
    std::vector<float> p(std::size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        p[std::size_t(i)] = n > 1 ? lo + (hi - lo) * (float(i) / float(n - 1)) : lo;
    return p;
}

PointSet nodesOf(const LutTransform &t)
{
    PointSet s;
    if (t.isEmpty())
        return s;
    // A table indexed by half floats has a node at every finite half, taken along the grey axis.
    const auto *half = dynamic_cast<const Ops::Lut1D *>(t.steps().front().node.get());
    if (half && half->halfDomain) {
        s.lattice = false;
        for (quint32 bits = 0; bits < 0x10000; ++bits)
            if ((bits & 0x7c00) != 0x7c00)
                for (int c = 0; c < 3; ++c)
                    s.axis[c].push_back(Ops::halfToFloat(quint16(bits)));
        return s;
    }
    if (!t.steps().front().tables)
        return s;
    const LutTransform::Step &first = t.steps().front();
    const Read_LUTFile &lut = *first.tables;
    s.lattice = !first.shaper;
    const float *min = s.lattice ? lut.domainMin3D : lut.domainMin1D;
    const float *max = s.lattice ? lut.domainMax3D : lut.domainMax1D;
    const int n = s.lattice ? lut.allocated3DSize() : lut.allocated1DSize();
    for (int c = 0; c < 3; ++c)
        s.axis[c] = positions(min[c], max[c], n);
    return s;
}

// The n-point lattice over the smallest box that holds both LUTs' domains.
PointSet latticeOver(const LutTransform &a, const LutTransform &b, int n)
{
    float minA[3], maxA[3], minB[3], maxB[3];
    a.domain(minA, maxA);
    b.domain(minB, maxB);
    PointSet s;
    for (int c = 0; c < 3; ++c)
        s.axis[c] = positions(std::min(minA[c], minB[c]), std::max(maxA[c], maxB[c]), n);
    return s;
}

// For each position on `from`, the index of the same position on `to`, or -1.
std::vector<int> matches(const std::vector<float> &from, const std::vector<float> &to)
{
    std::vector<std::pair<float, int>> sorted(to.size());
    for (std::size_t i = 0; i < to.size(); ++i)
        sorted[i] = {to[i], int(i)};
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> out(from.size(), -1);
    for (std::size_t i = 0; i < from.size(); ++i) {
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(from[i], -1));
        if (it != sorted.end() && it->first == from[i])
            out[i] = it->second;
    }
    return out;
}

// Whether the points of one set are also points of an earlier one, axis by axis.
struct Overlap {
    std::vector<int> match[3];
    bool lattice;

    Overlap(const PointSet &later, const PointSet &earlier)
        : lattice(earlier.lattice)
    {
        for (int c = 0; c < 3; ++c)
            match[c] = matches(later.axis[c], earlier.axis[c]);
    }

    bool contains(const std::size_t idx[3]) const
    {
        const int i = match[0][idx[0]], j = match[1][idx[1]], k = match[2][idx[2]];
        if (i < 0 || j < 0 || k < 0)
            return false;
        return lattice || (i == j && j == k);
    }
};

// The colours compared: the points of three sets, each once (a point of a later set that an
// earlier set holds is skipped).
class Colours
{
public:
    Colours(PointSet lattice, PointSet nodesA, PointSet nodesB)
        : sets_{std::move(lattice), std::move(nodesA), std::move(nodesB)}
    {
        for (int s = 1; s < 3; ++s)
            for (int t = 0; t < s; ++t)
                earlier_[s].emplace_back(sets_[s], sets_[t]);
    }

    template <typename Fn>
    void forEach(Fn fn) const
    {
        for (int s = 0; s < 3; ++s) {
            const PointSet &set = sets_[s];
            const std::size_t count = set.count();
            for (std::size_t n = 0; n < count; ++n) {
                std::size_t idx[3];
                set.indices(n, idx);
                if (std::any_of(earlier_[s].begin(), earlier_[s].end(), [&](const Overlap &o) { return o.contains(idx); }))
                    continue;
                const float p[3] = {set.axis[0][idx[0]], set.axis[1][idx[1]], set.axis[2][idx[2]]};
                fn(p);
            }
        }
    }

private:
    PointSet sets_[3];
    std::vector<Overlap> earlier_[3];
};

// Two outputs that are the same (NaN and NaN, or the same infinity) differ by 0; one NaN
// against a number differs without bound.
inline float difference(float a, float b)
{
    if (a == b || (std::isnan(a) && std::isnan(b)))
        return 0.0f;
    const float d = std::fabs(a - b);
    return std::isnan(d) ? std::numeric_limits<float>::infinity() : d;
}

class Accumulator
{
public:
    Accumulator(const LutTransform &a, const LutTransform &b, std::size_t colours)
        : a_(a), b_(b)
    {
        for (auto &d : diffs_)
            d.reserve(colours);
        // Below any difference, so that the first colour is where the largest lies until a
        // larger one comes.
        for (Channel &ch : channels_)
            ch.largest = -1.0f;
        in_.reserve(chunk * 3);
    }

    void add(const float *point)
    {
        in_.insert(in_.end(), point, point + 3);
        if (in_.size() == chunk * 3)
            flush();
    }

    void finish(Result &r)
    {
        flush();
        r.colours = diffs_[0].size();
        for (int c = 0; c < 3; ++c) {
            Channel &ch = r.channel[c];
            ch = channels_[c];
            ch.largest = std::max(ch.largest, 0.0f);
            ch.mean = r.colours ? sums_[c] / double(r.colours) : 0.0;
            std::vector<float> &d = diffs_[c];
            if (d.empty())
                continue;
            // The nearest rank: the smallest difference that 99% of the colours stay at or below.
            const std::size_t rank = (d.size() * 99 + 99) / 100 - 1;
            std::nth_element(d.begin(), d.begin() + std::ptrdiff_t(rank), d.end());
            ch.percentile99 = d[rank];
        }
    }

private:
    static constexpr std::size_t chunk = 4096;

    void flush()
    {
        const std::size_t n = in_.size() / 3;
        outA_.resize(in_.size());
        outB_.resize(in_.size());
        a_.apply(in_.data(), outA_.data(), n);
        b_.apply(in_.data(), outB_.data(), n);
        for (std::size_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c) {
                const float d = difference(outA_[i * 3 + std::size_t(c)], outB_[i * 3 + std::size_t(c)]);
                diffs_[c].push_back(d);
                sums_[c] += double(d);
                if (d > channels_[c].largest)
                    record(channels_[c], d, i);
            }
        in_.clear();
    }

    void record(Channel &ch, float d, std::size_t i)
    {
        ch.largest = d;
        std::copy_n(&in_[i * 3], 3, ch.at);
        std::copy_n(&outA_[i * 3], 3, ch.a);
        std::copy_n(&outB_[i * 3], 3, ch.b);
    }

    const LutTransform &a_;
    const LutTransform &b_;
    std::vector<float> in_, outA_, outB_;
    std::vector<float> diffs_[3];
    double sums_[3] = {0, 0, 0};
    Channel channels_[3];
};

}

float Result::largest() const
{
    return std::max({channel[0].largest, channel[1].largest, channel[2].largest});
}

int defaultLatticeSize(const Read_LUTFile &a, const Read_LUTFile &b)
{
    int n = 33;
    for (const Read_LUTFile *lut : {&a, &b})
        if (lut->has3D())
            n = std::max(n, int(lut->lut3DSize));
    return n;
}

int defaultLatticeSize(const LutTransform &a, const LutTransform &b)
{
    return std::max({33, a.latticeSize(), b.latticeSize()});
}

Result compare(const Read_LUTFile &a, const Read_LUTFile &b, int latticeSize)
{
    if ((!a.has3D() && !a.has1D()) || (!b.has3D() && !b.has1D())) {
        Result r;
        r.latticeSize = latticeSize;
        r.error = QStringLiteral("holds no LUT data");
        return r;
    }
    return compare(LutTransform::latticeViewOf(a), LutTransform::latticeViewOf(b), latticeSize);
}

Result compare(const LutTransform &a, const LutTransform &b, int latticeSize)
{
    Result r;
    r.latticeSize = latticeSize;
    if (a.isEmpty() || b.isEmpty()) {
        r.error = QStringLiteral("holds no LUT data");
        return r;
    }
    if (latticeSize < 2) {
        r.error = QStringLiteral("the lattice needs at least 2 points per axis");
        return r;
    }
    try {
        const Colours colours(latticeOver(a, b, latticeSize), nodesOf(a), nodesOf(b));
        std::size_t count = 0;
        colours.forEach([&count](const float *) { ++count; });
        Accumulator acc(a, b, count);
        colours.forEach([&acc](const float *p) { acc.add(p); });
        acc.finish(r);
    } catch (const std::bad_alloc &) {
        r = Result();
        r.latticeSize = latticeSize;
        r.error = QStringLiteral("not enough memory to compare at so many colours");
    }
    return r;
}

double inCodes(float difference, int bits)
{
    return double(difference) * double((1 << bits) - 1);
}

void apply(const Read_LUTFile &lut, const float *in, float *out, std::size_t count)
{
    if (lut.has3D()) {
        LutCalc::Lut3D_TetrahedralMany(in, out, count, lut);
        return;
    }
    if (!lut.has1D()) {
        std::fill(out, out + count * 3, 0.0f);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        float o[3];
        LutCalc::Lut1D_liner(in + i * 3, o, lut);
        std::copy_n(o, 3, out + i * 3);
    }
}

}
