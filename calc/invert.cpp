#include "calc/invert.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <thread>

#include "calc/lutcalc.h"
#include "calc/ops.h"
#include "calc/tetrahedron.h"
#include "calc/transform.h"
#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"

namespace LutInvert {

namespace {

// Positions of an axis as the resampler and compare take them: i / (n - 1) first.
inline float position(float lo, float hi, int i, int n)
{
    return n > 1 ? lo + (hi - lo) * (float(i) / float(n - 1)) : lo;
}

bool finite(const float *v, std::size_t count)
{
    return std::all_of(v, v + count, [](float x) { return std::isfinite(x); });
}

const char channelName[3] = {'R', 'G', 'B'};

// ---- Round trips ----------------------------------------------------------------------------

// Differences as compare takes them: NaN against NaN is none, NaN against a number is endless.
inline float difference(float a, float b)
{
    if (a == b || (std::isnan(a) && std::isnan(b)))
        return 0.0f;
    const float d = std::fabs(a - b);
    return std::isnan(d) ? std::numeric_limits<float>::infinity() : d;
}

class Trip
{
public:
    Trip()
    {
        for (LutCompare::Channel &c : ch_)
            c.largest = -1.0f;
    }

    void add(const float *start, const float *end)
    {
        for (int c = 0; c < 3; ++c) {
            const float d = difference(end[c], start[c]);
            diffs_[c].push_back(d);
            sums_[c] += double(d);
            if (d > ch_[c].largest) {
                ch_[c].largest = d;
                std::copy_n(start, 3, ch_[c].at);
                std::copy_n(end, 3, ch_[c].a);
                std::copy_n(start, 3, ch_[c].b);
            }
        }
    }

    void finish(RoundTrip &r, std::size_t leftOut)
    {
        r.colours = diffs_[0].size();
        r.leftOut = leftOut;
        for (int c = 0; c < 3; ++c) {
            LutCompare::Channel &out = r.channel[c];
            out = ch_[c];
            out.largest = std::max(out.largest, 0.0f);
            out.mean = r.colours ? sums_[c] / double(r.colours) : 0.0;
            std::vector<float> &d = diffs_[c];
            if (d.empty())
                continue;
            const std::size_t rank = (d.size() * 99 + 99) / 100 - 1;
            std::nth_element(d.begin(), d.begin() + std::ptrdiff_t(rank), d.end());
            out.percentile99 = d[rank];
        }
    }

private:
    LutCompare::Channel ch_[3];
    std::vector<float> diffs_[3];
    double sums_[3] = {0, 0, 0};
};

// Measure `trip` (start -> end) at `points` (RGB triples), leaving out those `keep` refuses.
template <typename Keep>
void measure(const std::vector<float> &points, const LutTransform &first, const LutTransform &second, Keep keep,
             RoundTrip &out)
{
    const std::size_t count = points.size() / 3;
    std::vector<float> mid(points.size()), end(points.size());
    first.apply(points.data(), mid.data(), count);
    second.apply(mid.data(), end.data(), count);
    Trip trip;
    std::size_t leftOut = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!keep(&points[i * 3], &mid[i * 3])) {
            ++leftOut;
            continue;
        }
        trip.add(&points[i * 3], &end[i * 3]);
    }
    trip.finish(out, leftOut);
}

std::vector<float> latticePoints(const float *lo, const float *hi, int n)
{
    std::vector<float> p;
    p.reserve(std::size_t(n) * std::size_t(n) * std::size_t(n) * 3);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                p.push_back(position(lo[0], hi[0], r, n));
                p.push_back(position(lo[1], hi[1], g, n));
                p.push_back(position(lo[2], hi[2], b, n));
            }
    return p;
}

// ---- Curves ---------------------------------------------------------------------------------

// The inverse of one channel: the source's inputs (`input`) at its outputs (`level`), levels
// ascending; a level held twice is a jump of the inverse over a stretch without one.
struct Knots {
    std::vector<float> level, input;
    void push(float l, float x)
    {
        level.push_back(l);
        input.push_back(x);
    }
};

// Invert the curve through (x[i], y[i]) whose outputs rise overall. A stall (outputs at or
// below the highest so far) has no inverse: the level of its start is given both the stall's
// start and the input where the curve rises past it again, so that each rising piece keeps its
// exact inverse. A stall at either end is given its outer end.
void invertRising(const std::vector<float> &x, const std::vector<float> &y, int channel, Knots &k,
                  std::vector<Stretch> &stretches)
{
    const std::size_t n = y.size();
    k.push(y[0], x[0]);
    float peak = y[0];
    std::size_t stallFrom = n;   // the index the stall started after, or n when rising
    bool stallFlat = true;
    for (std::size_t i = 1; i < n; ++i) {
        if (y[i] <= peak) {
            if (stallFrom == n) {
                stallFrom = i - 1;
                stallFlat = true;
            }
            stallFlat = stallFlat && y[i] == peak;
            continue;
        }
        if (stallFrom != n) {
            // Where the curve rises past the stall's level again.
            double exitX = double(x[i - 1]);
            if (y[i - 1] < peak) {
                const double t = (double(peak) - double(y[i - 1])) / (double(y[i]) - double(y[i - 1]));
                exitX += t * (double(x[i]) - double(x[i - 1]));
            }
            stretches.push_back({channel, stallFlat, x[stallFrom], float(exitX), peak});
            k.push(peak, float(exitX));
            stallFrom = n;
        }
        k.push(y[i], x[i]);
        peak = y[i];
    }
    if (stallFrom != n) {
        stretches.push_back({channel, stallFlat, x[stallFrom], x[n - 1], peak});
        if (stallFlat)
            k.push(peak, x[n - 1]);
    }
}

// Invert one channel's curve, rising or falling. False when it is flat throughout.
bool invertChannel(const std::vector<float> &x, const std::vector<float> &y, int channel, Knots &k,
                   std::vector<Stretch> &stretches, QString *why)
{
    double rises = 0, falls = 0;
    for (std::size_t i = 1; i < y.size(); ++i) {
        const double d = double(y[i]) - double(y[i - 1]);
        (d > 0 ? rises : falls) += std::fabs(d);
    }
    if (rises == 0 && falls == 0) {
        *why = QStringLiteral("cannot be inverted: %1 gives %2 for every input").arg(channelName[channel]).arg(double(y[0]));
        return false;
    }
    const bool rising = y.back() != y.front() ? y.back() > y.front() : rises >= falls;
    if (rising) {
        invertRising(x, y, channel, k, stretches);
        return true;
    }
    // A falling curve is the rising curve of the negated outputs, read back to front.
    std::vector<float> negated(y.size());
    std::transform(y.begin(), y.end(), negated.begin(), [](float v) { return -v; });
    const std::size_t first = stretches.size();
    invertRising(x, negated, channel, k, stretches);
    for (std::size_t s = first; s < stretches.size(); ++s)
        stretches[s].level = -stretches[s].level;
    std::transform(k.level.begin(), k.level.end(), k.level.begin(), [](float v) { return -v; });
    std::reverse(k.level.begin(), k.level.end());
    std::reverse(k.input.begin(), k.input.end());
    return true;
}

// The exact inverse of three channel curves sampled at `count` inputs over [lo, hi]:
// `y` holds the outputs as RGB triples.
bool invertCurves(const float *lo, const float *hi, int count, const std::vector<float> &y,
                  std::shared_ptr<Ops::Curve> &curve, std::vector<Stretch> &stretches, QString *why)
{
    if (!finite(y.data(), y.size())) {
        *why = QStringLiteral("cannot be inverted: its table holds values that are not numbers");
        return false;
    }
    curve = std::make_shared<Ops::Curve>(0);
    for (int c = 0; c < 3; ++c) {
        std::vector<float> xs(static_cast<std::size_t>(count)), ys(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            xs[std::size_t(i)] = position(lo[c], hi[c], i, count);
            ys[std::size_t(i)] = y[std::size_t(i) * 3 + std::size_t(c)];
        }
        Knots k;
        if (!invertChannel(xs, ys, c, k, stretches, why))
            return false;
        curve->x[c] = std::move(k.level);
        curve->y[c] = std::move(k.input);
    }
    return true;
}

bool inStretch(const std::vector<Stretch> &stretches, const float *x)
{
    return std::any_of(stretches.begin(), stretches.end(), [&](const Stretch &s) {
        return x[s.channel] >= s.from && x[s.channel] <= s.to;
    });
}

// The source's 1D table's outputs at its own entries.
std::vector<float> tableOutputs(const Read_LUTFile &m)
{
    const std::size_t n = std::size_t(m.allocated1DSize());
    return std::vector<float>(m.lut1D.data(), m.lut1D.data() + n * 3);
}

// Whether every step works on each channel alone.
bool separable(const LutTransform &t)
{
    for (const LutTransform::Step &s : t.steps()) {
        if (s.tables) {
            if (s.lattice)
                return false;
            continue;
        }
        const Ops::Node *node = s.node.get();
        if (const auto *m = dynamic_cast<const Ops::Matrix *>(node)) {
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    if (r != c && m->m[r][c] != 0.0f)
                        return false;
        } else if (const auto *cdl = dynamic_cast<const Ops::AscCdl *>(node)) {
            if (cdl->saturation != 1.0f)
                return false;
        } else if (!dynamic_cast<const Ops::Lut1D *>(node) && !dynamic_cast<const Ops::Range *>(node)
                   && !dynamic_cast<const Ops::Log *>(node) && !dynamic_cast<const Ops::Exponent *>(node)
                   && !dynamic_cast<const Ops::Curve *>(node)) {
            return false;
        }
    }
    return true;
}

// ---- Lattices -------------------------------------------------------------------------------

// The six tetrahedra of a cell as their corners (4 = red, 2 = green, 1 = blue high), as
// tetrahedron.h splits it.
constexpr int paths[6][4] = {{0, 4, 6, 7}, {0, 4, 5, 7}, {0, 1, 5, 7}, {0, 1, 3, 7}, {0, 2, 3, 7}, {0, 2, 6, 7}};

inline void cornerStep(int corner, int out[3])
{
    out[0] = (corner >> 2) & 1;
    out[1] = (corner >> 1) & 1;
    out[2] = corner & 1;
}

using Vec = std::array<double, 3>;

inline Vec sub(const Vec &a, const Vec &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline double dot(const Vec &a, const Vec &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec cross(const Vec &a, const Vec &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double norm(const Vec &a) { return std::sqrt(dot(a, a)); }

// The sign of the input tetrahedron of each path (+1 or -1).
int pathSign(int p)
{
    Vec e[3];
    for (int v = 0; v < 3; ++v) {
        int s[3];
        cornerStep(paths[p][v + 1], s);
        e[v] = {double(s[0]), double(s[1]), double(s[2])};
    }
    return dot(e[0], cross(e[1], e[2])) > 0 ? 1 : -1;
}

// The closest point to p on the triangle a, b, c: its weights on a, b, c.
Vec closestOnTriangle(const Vec &p, const Vec &a, const Vec &b, const Vec &c)
{
    const Vec ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return {1, 0, 0};
    const Vec bp = sub(p, b);
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return {0, 1, 0};
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) {
        const double v = d1 / (d1 - d3);
        return {1 - v, v, 0};
    }
    const Vec cp = sub(p, c);
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6)
        return {0, 0, 1};
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) {
        const double w = d2 / (d2 - d6);
        return {1 - w, 0, w};
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        return {0, 1 - w, w};
    }
    const double sum = va + vb + vc;
    if (!(sum > 0))
        return {1, 0, 0};
    const double v = vb / sum, w = vc / sum;
    return {1 - v - w, v, w};
}

// The lattice's cells filed by the bins of a grid over the output box that their output
// bounding boxes touch.
class Bins
{
public:
    void setBox(const float *lo, const float *hi, int g)
    {
        g_ = g;
        for (int c = 0; c < 3; ++c) {
            lo_[c] = lo[c];
            width_[c] = (double(hi[c]) - double(lo[c])) / g;
        }
    }

    int binOf(double v, int c) const
    {
        if (!(width_[c] > 0))
            return 0;
        const double t = (v - lo_[c]) / width_[c];
        return t <= 0 ? 0 : t >= g_ ? g_ - 1 : int(t);
    }

    // Two passes over the cells: `box(i, lo, hi)` gives a cell's output bounding box.
    template <typename Box>
    void build(std::size_t items, Box box)
    {
        const std::size_t cells = std::size_t(g_) * g_ * g_;
        start_.assign(cells + 1, 0);
        forEachBin(items, box, [&](std::size_t bin, std::size_t) { ++start_[bin + 1]; });
        for (std::size_t b = 0; b < cells; ++b)
            start_[b + 1] += start_[b];
        entries_.resize(start_[cells]);
        std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
        forEachBin(items, box, [&](std::size_t bin, std::size_t item) { entries_[fill[bin]++] = std::uint32_t(item); });
    }

    const std::uint32_t *begin(int i, int j, int k) const { return entries_.data() + start_[index(i, j, k)]; }
    const std::uint32_t *end(int i, int j, int k) const { return entries_.data() + start_[index(i, j, k) + 1]; }

private:
    std::size_t index(int i, int j, int k) const { return (std::size_t(i) * g_ + j) * g_ + k; }

    template <typename Box, typename Use>
    void forEachBin(std::size_t items, Box &box, Use use) const
    {
        for (std::size_t item = 0; item < items; ++item) {
            float lo[3], hi[3];
            box(item, lo, hi);
            int a[3], b[3];
            for (int c = 0; c < 3; ++c) {
                a[c] = binOf(lo[c], c);
                b[c] = binOf(hi[c], c);
            }
            for (int i = a[0]; i <= b[0]; ++i)
                for (int j = a[1]; j <= b[1]; ++j)
                    for (int k = a[2]; k <= b[2]; ++k)
                        use(index(i, j, k), item);
        }
    }

    int g_ = 1;
    double lo_[3] = {0, 0, 0};
    double width_[3] = {0, 0, 0};
    std::vector<std::uint32_t> start_;
    std::vector<std::uint32_t> entries_;
};

// Triangles in a tree of bounding boxes, for the one nearest a point.
class TriangleTree
{
public:
    explicit TriangleTree(std::vector<std::array<Vec, 3>> triangles = {})
        : tris_(std::move(triangles)), order_(tris_.size())
    {
        for (std::size_t i = 0; i < order_.size(); ++i)
            order_[i] = std::uint32_t(i);
        if (tris_.empty())
            return;
        nodes_.reserve(2 * tris_.size() / leafSize + 2);
        nodes_.push_back(Node());
        split(0, 0, tris_.size());
    }

    // The triangle nearest p, and the weights of its corners at the point nearest p.
    std::size_t nearest(const Vec &p, Vec &weights) const
    {
        double best = std::numeric_limits<double>::infinity();
        std::size_t found = 0;
        weights = {1, 0, 0};
        int stack[128];
        int top = 0;
        if (!nodes_.empty())
            stack[top++] = 0;
        while (top > 0) {
            const Node &node = nodes_[std::size_t(stack[--top])];
            if (distance2(p, node) >= best)
                continue;
            if (node.count > 0) {
                for (std::uint32_t i = node.first; i < node.first + node.count; ++i) {
                    const std::array<Vec, 3> &t = tris_[order_[i]];
                    const Vec w = closestOnTriangle(p, t[0], t[1], t[2]);
                    Vec q;
                    for (std::size_t c = 0; c < 3; ++c)
                        q[c] = w[0] * t[0][c] + w[1] * t[1][c] + w[2] * t[2][c];
                    const Vec d = sub(q, p);
                    const double d2 = dot(d, d);
                    if (d2 < best) {
                        best = d2;
                        found = order_[i];
                        weights = w;
                    }
                }
                continue;
            }
            // The nearer child is searched first, so that the farther one is often passed over.
            const int a = int(node.first), b = a + 1;
            const bool aNearer = distance2(p, nodes_[std::size_t(a)]) <= distance2(p, nodes_[std::size_t(b)]);
            stack[top++] = aNearer ? b : a;
            stack[top++] = aNearer ? a : b;
        }
        return found;
    }

private:
    static constexpr std::size_t leafSize = 4;

    struct Node {
        double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
        std::uint32_t first = 0;   // a leaf's first triangle in order_, else its first child
        std::uint32_t count = 0;   // a leaf's triangles; 0 for an inner node
    };

    static double distance2(const Vec &p, const Node &n)
    {
        double d2 = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const double d = p[c] < n.lo[c] ? n.lo[c] - p[c] : p[c] > n.hi[c] ? p[c] - n.hi[c] : 0.0;
            d2 += d * d;
        }
        return d2;
    }

    void split(std::size_t node, std::size_t first, std::size_t count)
    {
        Node n;
        double cLo[3], cHi[3];
        for (int c = 0; c < 3; ++c) {
            n.lo[c] = cLo[c] = std::numeric_limits<double>::infinity();
            n.hi[c] = cHi[c] = -std::numeric_limits<double>::infinity();
        }
        for (std::size_t i = first; i < first + count; ++i)
            for (std::size_t c = 0; c < 3; ++c) {
                const std::array<Vec, 3> &t = tris_[order_[i]];
                for (const Vec &v : t) {
                    n.lo[c] = std::min(n.lo[c], v[c]);
                    n.hi[c] = std::max(n.hi[c], v[c]);
                }
                const double centre = t[0][c] + t[1][c] + t[2][c];
                cLo[c] = std::min(cLo[c], centre);
                cHi[c] = std::max(cHi[c], centre);
            }
        if (count <= leafSize) {
            n.first = std::uint32_t(first);
            n.count = std::uint32_t(count);
            nodes_[node] = n;
            return;
        }
        int axis = 0;
        for (int c = 1; c < 3; ++c)
            if (cHi[c] - cLo[c] > cHi[axis] - cLo[axis])
                axis = c;
        const std::size_t half = count / 2;
        const std::size_t ax = std::size_t(axis);
        std::nth_element(order_.begin() + std::ptrdiff_t(first), order_.begin() + std::ptrdiff_t(first + half),
                         order_.begin() + std::ptrdiff_t(first + count), [&](std::uint32_t a, std::uint32_t b) {
                             const auto &ta = tris_[a], &tb = tris_[b];
                             return ta[0][ax] + ta[1][ax] + ta[2][ax] < tb[0][ax] + tb[1][ax] + tb[2][ax];
                         });
        n.first = std::uint32_t(nodes_.size());
        nodes_[node] = n;
        nodes_.push_back(Node());
        nodes_.push_back(Node());
        split(n.first, first, half);
        split(n.first + 1, first + half, count - half);
    }

    std::vector<std::array<Vec, 3>> tris_;
    std::vector<std::uint32_t> order_;
    std::vector<Node> nodes_;
};

// Where a colour lies: outside the lattice's gamut, or given for one input, or for several
// (where the lattice folds over).
enum class Found : char { Outside, Once, Several };

// One lattice and the inverse of what it does, colour by colour.
class LatticeInverse
{
public:
    // `exact` is what the lattice stands for (the lattice itself, or the chain it was made from),
    // against which every solution is refined.
    LatticeInverse(const Read_LUTFile &lattice, const LutTransform &exact)
        : m_(lattice), exact_(exact), n_(lattice.allocated3DSize())
    {
        std::copy(lattice.domainMin3D, lattice.domainMin3D + 3, lo_);
        std::copy(lattice.domainMax3D, lattice.domainMax3D + 3, hi_);
        for (int p = 0; p < 6; ++p)
            pathSign_[p] = pathSign(p);
    }

    bool prepare(Report &report, QString *why)
    {
        if (n_ < 2) {
            *why = QStringLiteral("cannot be inverted: its lattice has a single point");
            return false;
        }
        const float *v = m_.lut3D.data();
        if (!finite(v, m_.lut3D.floatCount())) {
            *why = QStringLiteral("cannot be inverted: its lattice holds values that are not numbers");
            return false;
        }
        for (int c = 0; c < 3; ++c) {
            outLo_[c] = std::numeric_limits<float>::infinity();
            outHi_[c] = -std::numeric_limits<float>::infinity();
        }
        for (std::size_t i = 0; i < m_.lut3D.floatCount(); i += 3)
            for (int c = 0; c < 3; ++c) {
                outLo_[c] = std::min(outLo_[c], v[i + std::size_t(c)]);
                outHi_[c] = std::max(outHi_[c], v[i + std::size_t(c)]);
            }
        census(report);
        if (positive_ + negative_ == 0) {
            *why = QStringLiteral("cannot be inverted: its lattice has no volume (it takes every colour onto a "
                                  "surface, a line or a point)");
            return false;
        }
        orientation_ = positive_ >= negative_ ? 1 : -1;
        report.folded = orientation_ > 0 ? negative_ : positive_;
        const int cellsPerAxis = n_ - 1;
        const int g = std::clamp(cellsPerAxis, 1, 96);
        cells_.setBox(outLo_, outHi_, g);
        cells_.build(std::size_t(cellsPerAxis) * cellsPerAxis * cellsPerAxis,
                     [&](std::size_t cell, float *lo, float *hi) { cellBox(cell, lo, hi); });
        makeBoundary();
        return true;
    }

    const float *outLo() const { return outLo_; }
    const float *outHi() const { return outHi_; }

    // The input for the colour y.
    Found solve(const float *y, float *x) const
    {
        const Vec target = {double(y[0]), double(y[1]), double(y[2])};
        Vec u = {0, 0, 0};
        Jacobian jac;
        const Found found = findInside(target, u, jac);
        if (found != Found::Outside)
            refine(target, u, jac);
        else
            nearest(target, u);
        inputOf(u, x);
        return found;
    }

    // Whether the lattice keeps volume and orientation at the input x (of its domain), and
    // gives its colour for no other input.
    bool invertibleAt(const float *x) const
    {
        int cell[3];
        double f[3];
        locate(x, cell, f);
        if (classify(cell, pathAt(f)) != orientation_)
            return false;
        float y[3];
        exact_.apply(x, y, 1);
        Vec u;
        Jacobian j;
        return findInside({double(y[0]), double(y[1]), double(y[2])}, u, j) == Found::Once;
    }

private:
    // A tetrahedron's affine map: output = q0 + A * weights, input = p0 + P * weights.
    struct Jacobian {
        double a[3][3];
        int p[3][3];
        bool valid = false;
    };

    const float *node(int i, int j, int k) const
    {
        return m_.lut3D.data() + ((std::size_t(i) * n_ + j) * n_ + k) * 3;
    }

    Vec nodeVec(int i, int j, int k) const
    {
        const float *v = node(i, j, k);
        return {double(v[0]), double(v[1]), double(v[2])};
    }

    void cellOf(std::size_t id, int c[3]) const
    {
        const std::size_t m = std::size_t(n_ - 1);
        c[2] = int(id % m);
        c[1] = int((id / m) % m);
        c[0] = int(id / (m * m));
    }

    void cellBox(std::size_t id, float *lo, float *hi) const
    {
        int c[3];
        cellOf(id, c);
        std::fill(lo, lo + 3, std::numeric_limits<float>::infinity());
        std::fill(hi, hi + 3, -std::numeric_limits<float>::infinity());
        for (int corner = 0; corner < 8; ++corner) {
            int s[3];
            cornerStep(corner, s);
            const float *v = node(c[0] + s[0], c[1] + s[1], c[2] + s[2]);
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
            }
        }
    }

    // Output vectors of the tetrahedron `p` of `cell`: its first corner and the three edges.
    void tetrahedron(const int cell[3], int p, Vec &q0, Jacobian &j) const
    {
        int s[3];
        cornerStep(paths[p][0], s);
        q0 = nodeVec(cell[0] + s[0], cell[1] + s[1], cell[2] + s[2]);
        for (int v = 0; v < 3; ++v) {
            cornerStep(paths[p][v + 1], s);
            const Vec e = sub(nodeVec(cell[0] + s[0], cell[1] + s[1], cell[2] + s[2]), q0);
            for (int r = 0; r < 3; ++r) {
                j.a[r][v] = e[std::size_t(r)];
                j.p[r][v] = s[r];
            }
        }
        j.valid = true;
    }

    static double det(const double a[3][3])
    {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
            + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    }

    // The weights w with A w = r; false when A is singular.
    static bool solveWeights(const double a[3][3], const Vec &r, Vec &w)
    {
        const double d = det(a);
        if (d == 0 || !std::isfinite(d))
            return false;
        for (int col = 0; col < 3; ++col) {
            double b[3][3];
            for (int i = 0; i < 3; ++i)
                for (int k = 0; k < 3; ++k)
                    b[i][k] = k == col ? r[std::size_t(i)] : a[i][k];
            w[std::size_t(col)] = det(b) / d;
        }
        return true;
    }

    // +1 or -1: the orientation a tetrahedron keeps; 0: it has no volume.
    int classify(const int cell[3], int p) const
    {
        Vec q0;
        Jacobian j;
        tetrahedron(cell, p, q0, j);
        const double d = det(j.a);
        double scale = 1;
        for (int v = 0; v < 3; ++v)
            scale *= norm({j.a[0][v], j.a[1][v], j.a[2][v]});
        if (!(std::fabs(d) > 1e-7 * scale))
            return 0;
        return (d > 0 ? 1 : -1) * pathSign_[p];
    }

    void census(Report &report)
    {
        const int m = n_ - 1;
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j)
                for (int k = 0; k < m; ++k)
                    for (int p = 0; p < 6; ++p) {
                        const int cell[3] = {i, j, k};
                        const int o = classify(cell, p);
                        (o > 0 ? positive_ : o < 0 ? negative_ : flat_) += 1;
                    }
        report.tetrahedra = positive_ + negative_ + flat_;
        report.flat = flat_;
    }

    // The cell and the fractions within it of an input of the lattice's domain, as the
    // interpolator takes them.
    void locate(const float *x, int cell[3], double f[3]) const
    {
        for (int c = 0; c < 3; ++c) {
            double t = (double(x[c]) - lo_[c]) / (double(hi_[c]) - lo_[c]) * (n_ - 1);
            if (!(t >= 0))
                t = 0;
            t = std::min(t, double(n_ - 1));
            cell[c] = std::min(int(t), n_ - 2);
            f[c] = t - cell[c];
        }
    }

    static int pathAt(const double f[3])
    {
        return withTetrahedron(f[0], f[1], f[2], 1.0, [](const Tetrahedron<double> &t) {
            for (int p = 0; p < 6; ++p)
                if (paths[p][1] == t.path[1] && paths[p][2] == t.path[2])
                    return p;
            return 0;
        });
    }

    void inputOf(const Vec &u, float *x) const
    {
        for (int c = 0; c < 3; ++c)
            x[c] = lo_[c] + (hi_[c] - lo_[c]) * (float(u[std::size_t(c)]) / float(n_ - 1));
    }

    // The tetrahedra whose images hold y: the input in one that keeps the lattice's orientation
    // (else in a folded one), and whether another holds y for a different input.
    Found findInside(const Vec &y, Vec &u, Jacobian &found) const
    {
        constexpr double eps = 1e-6;
        for (int c = 0; c < 3; ++c)
            if (y[std::size_t(c)] < double(outLo_[c]) - eps || y[std::size_t(c)] > double(outHi_[c]) + eps)
                return Found::Outside;
        const int bi = cells_.binOf(y[0], 0), bj = cells_.binOf(y[1], 1), bk = cells_.binOf(y[2], 2);
        bool have = false, haveProper = false, several = false;
        for (const std::uint32_t *it = cells_.begin(bi, bj, bk); it != cells_.end(bi, bj, bk); ++it) {
            float lo[3], hi[3];
            cellBox(*it, lo, hi);
            if (y[0] < lo[0] - eps || y[0] > hi[0] + eps || y[1] < lo[1] - eps || y[1] > hi[1] + eps
                || y[2] < lo[2] - eps || y[2] > hi[2] + eps)
                continue;
            int cell[3];
            cellOf(*it, cell);
            for (int p = 0; p < 6; ++p) {
                const int o = classify(cell, p);
                if (o == 0)
                    continue;
                Vec q0, w;
                Jacobian j;
                tetrahedron(cell, p, q0, j);
                if (!solveWeights(j.a, sub(y, q0), w))
                    continue;
                if (w[0] < -eps || w[1] < -eps || w[2] < -eps || w[0] + w[1] + w[2] > 1 + eps)
                    continue;
                int s[3];
                cornerStep(paths[p][0], s);
                Vec at;
                for (int c = 0; c < 3; ++c)
                    at[std::size_t(c)] = cell[c] + s[c] + j.p[c][0] * w[0] + j.p[c][1] * w[1] + j.p[c][2] * w[2];
                // Neighbouring tetrahedra share their faces: the same input found twice is one.
                if (have && std::max({std::fabs(at[0] - u[0]), std::fabs(at[1] - u[1]), std::fabs(at[2] - u[2])}) > 1e-3)
                    several = true;
                if (!have || (o == orientation_ && !haveProper)) {
                    u = at;
                    found = j;
                    have = true;
                    haveProper = o == orientation_;
                }
            }
        }
        return !have ? Found::Outside : several ? Found::Several : Found::Once;
    }

    // A few Newton steps against the exact transform, with the tetrahedron's map as the
    // derivative, kept while they bring the output closer.
    void refine(const Vec &y, Vec &u, const Jacobian &j) const
    {
        auto residual = [&](const Vec &at, Vec &r) {
            float x[3], out[3];
            inputOf(at, x);
            exact_.apply(x, out, 1);
            r = {double(out[0]) - y[0], double(out[1]) - y[1], double(out[2]) - y[2]};
            return std::max({std::fabs(r[0]), std::fabs(r[1]), std::fabs(r[2])});
        };
        Vec r;
        double err = residual(u, r);
        for (int step = 0; step < 4 && err > 0; ++step) {
            Vec w;
            if (!solveWeights(j.a, r, w))
                return;
            Vec next;
            for (int c = 0; c < 3; ++c) {
                const double du = j.p[c][0] * w[0] + j.p[c][1] * w[1] + j.p[c][2] * w[2];
                next[std::size_t(c)] = std::clamp(u[std::size_t(c)] - du, 0.0, double(n_ - 1));
            }
            Vec r2;
            const double err2 = residual(next, r2);
            if (!(err2 < err))
                return;
            u = next;
            r = r2;
            err = err2;
        }
    }

    // The faces of the domain's boundary, two triangles a square split as the tetrahedra split
    // it (from its low to its high corner): their images bound the gamut.
    void makeBoundary()
    {
        const int m = n_ - 1;
        auto id = [&](int i, int j, int k) { return std::uint32_t((std::size_t(i) * n_ + j) * n_ + k); };
        for (int axis = 0; axis < 3; ++axis)
            for (int side : {0, m})
                for (int p = 0; p < m; ++p)
                    for (int q = 0; q < m; ++q) {
                        auto at = [&](int dp, int dq) {
                            int c[3];
                            c[axis] = side;
                            c[(axis + 1) % 3] = p + dp;
                            c[(axis + 2) % 3] = q + dq;
                            return id(c[0], c[1], c[2]);
                        };
                        triangles_.push_back({at(0, 0), at(1, 0), at(1, 1)});
                        triangles_.push_back({at(0, 0), at(0, 1), at(1, 1)});
                    }
        std::vector<std::array<Vec, 3>> corners;
        corners.reserve(triangles_.size());
        for (const auto &t : triangles_)
            corners.push_back({nodeVec(t[0]), nodeVec(t[1]), nodeVec(t[2])});
        faces_ = TriangleTree(std::move(corners));
    }

    Vec nodeIndex(std::uint32_t v) const
    {
        const std::size_t n = std::size_t(n_);
        return {double(v / (n * n)), double((v / n) % n), double(v % n)};
    }

    // The input whose colour lies nearest y, on the boundary of the gamut.
    void nearest(const Vec &y, Vec &u) const
    {
        Vec w;
        const auto &t = triangles_[faces_.nearest(y, w)];
        const Vec a = nodeIndex(t[0]), b = nodeIndex(t[1]), c = nodeIndex(t[2]);
        for (std::size_t k = 0; k < 3; ++k)
            u[k] = w[0] * a[k] + w[1] * b[k] + w[2] * c[k];
    }

    Vec nodeVec(std::uint32_t v) const
    {
        const float *o = m_.lut3D.data() + std::size_t(v) * 3;
        return {double(o[0]), double(o[1]), double(o[2])};
    }

    const Read_LUTFile &m_;
    const LutTransform &exact_;
    const int n_;
    float lo_[3], hi_[3];
    float outLo_[3], outHi_[3];
    int pathSign_[6];
    std::size_t positive_ = 0, negative_ = 0, flat_ = 0;
    int orientation_ = 1;
    Bins cells_;
    TriangleTree faces_;
    std::vector<std::array<std::uint32_t, 3>> triangles_;
};

// Run body(i) for i in [0, count) on the machine's cores.
template <typename Body>
void parallelFor(int count, Body body)
{
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 1, std::max(1, count));
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i; (i = next.fetch_add(1)) < count;)
            body(i);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread &t : pool)
        t.join();
}

// The inverse of a lattice as a lattice of `m` points: the model, and which of its nodes
// lie inside the gamut.
std::shared_ptr<Read_LUTFile> invertLattice(const LatticeInverse &inv, int m, std::vector<Found> &found, Report &report,
                                            QString *why)
{
    auto out = std::make_shared<Read_LUTFile>();
    if (!out->setSize3D(m, false)) {
        *why = out->errorString;
        return nullptr;
    }
    for (int c = 0; c < 3; ++c) {
        out->domainMin3D[c] = std::min(0.0f, inv.outLo()[c]);
        out->domainMax3D[c] = std::max(1.0f, inv.outHi()[c]);
    }
    found.assign(std::size_t(m) * m * m, Found::Outside);
    parallelFor(m, [&](int r) {
        for (int g = 0; g < m; ++g)
            for (int b = 0; b < m; ++b) {
                const float y[3] = {position(out->domainMin3D[0], out->domainMax3D[0], r, m),
                                    position(out->domainMin3D[1], out->domainMax3D[1], g, m),
                                    position(out->domainMin3D[2], out->domainMax3D[2], b, m)};
                found[(std::size_t(r) * m + g) * m + b] = inv.solve(y, out->lut3D[r][g][b]);
            }
    });
    report.size = m;
    report.nodes = found.size();
    report.outside = std::size_t(std::count(found.begin(), found.end(), Found::Outside));
    report.several = std::size_t(std::count(found.begin(), found.end(), Found::Several));
    return out;
}

// Whether every node of the inverse lattice around y lies inside the gamut, each given for one
// input only.
bool cellInside(const Read_LUTFile &inverse, const std::vector<Found> &found, const float *y)
{
    const int m = inverse.allocated3DSize();
    int lo[3], hi[3];
    for (int c = 0; c < 3; ++c) {
        const float min = inverse.domainMin3D[c], max = inverse.domainMax3D[c];
        if (!(y[c] >= min && y[c] <= max))
            return false;
        const float t = (y[c] - min) / (max - min) * float(m - 1);
        lo[c] = std::min(int(t), m - 1);
        hi[c] = std::min(lo[c] + 1, m - 1);
    }
    for (int corner = 0; corner < 8; ++corner) {
        int s[3];
        cornerStep(corner, s);
        const int i = s[0] ? hi[0] : lo[0], j = s[1] ? hi[1] : lo[1], k = s[2] ? hi[2] : lo[2];
        if (found[(std::size_t(i) * m + j) * m + k] != Found::Once)
            return false;
    }
    return true;
}

// The colours the backward trip starts from: the inverse's nodes inside the gamut.
std::vector<float> insideNodes(const Read_LUTFile &inverse, const std::vector<Found> &found, std::size_t *leftOut)
{
    const std::vector<float> all = latticePoints(inverse.domainMin3D, inverse.domainMax3D, inverse.allocated3DSize());
    std::vector<float> kept;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (found[i] != Found::Outside)
            kept.insert(kept.end(), all.begin() + std::ptrdiff_t(i * 3), all.begin() + std::ptrdiff_t(i * 3 + 3));
    *leftOut = found.size() - kept.size() / 3;
    return kept;
}

// A 1D inverse: a table's (or a separable chain's) curves sampled at `count` inputs.
bool invertSeparable(const LutTransform &lut, const float *lo, const float *hi, int count, const std::vector<float> &y,
                     LutTransform &inverse, Report &report, QString *why)
{
    std::shared_ptr<Ops::Curve> curve;
    if (!invertCurves(lo, hi, count, y, curve, report.stretches, why))
        return false;
    inverse = LutTransform();
    inverse.addNode(curve);
    // Four colours an entry along the grey axis there, three at the levels back.
    const int points = 4 * (count - 1) + 1;
    std::vector<float> forward;
    for (int i = 0; i < points; ++i)
        for (int c = 0; c < 3; ++c)
            forward.push_back(position(lo[c], hi[c], i, points));
    measure(forward, lut, inverse, [&](const float *x, const float *) { return !inStretch(report.stretches, x); },
            report.forward);
    float levelLo[3], levelHi[3];
    inverse.domain(levelLo, levelHi);
    std::vector<float> backward;
    for (int i = 0; i < points; ++i)
        for (int c = 0; c < 3; ++c)
            backward.push_back(position(levelLo[c], levelHi[c], i, points));
    measure(backward, inverse, lut, [](const float *, const float *) { return true; }, report.backward);
    return true;
}

}

float RoundTrip::largest() const
{
    return std::max({channel[0].largest, channel[1].largest, channel[2].largest});
}

QStringList Report::warnings() const
{
    QStringList w;
    auto number = [](float v) { return QString::number(double(v), 'g', 6); };
    for (const Stretch &s : stretches) {
        if (s.flat)
            w << QStringLiteral("%1 is flat from input %2 to %3 (it gives %4 there): the inverse gives one end of it")
                     .arg(channelName[s.channel]).arg(number(s.from), number(s.to), number(s.level));
        else
            w << QStringLiteral("%1 turns back from input %2 to %3 (where it gives %4 once more): the inverse takes "
                                "the first input for what it gives more than once")
                     .arg(channelName[s.channel]).arg(number(s.from), number(s.to), number(s.level));
    }
    if (flat > 0)
        w << QStringLiteral("%1 of the lattice's %2 tetrahedra have no volume (a channel is clipped or flat there): "
                            "the colours they give come back as one of their inputs")
                 .arg(flat).arg(tetrahedra);
    if (folded > 0)
        w << QStringLiteral("%1 of the lattice's %2 tetrahedra fold over (the LUT gives the same colours for other "
                            "inputs too): the inverse takes one of them")
                 .arg(folded).arg(tetrahedra);
    return w;
}

bool invert(const LutTransform &lut, int size, LutTransform &inverse, Report &report, QString *why)
{
    report = Report();
    if (lut.isEmpty()) {
        *why = QStringLiteral("holds no LUT data");
        return false;
    }
    if (size != 0 && !LutLimits::valid3DSize(size)) {
        *why = QStringLiteral("the inverse lattice needs 2 to %1 points per axis").arg(LutLimits::max3DSize);
        return false;
    }
    float lo[3], hi[3];
    lut.domain(lo, hi);
    const Read_LUTFile *tables = lut.tables();

    if (tables && lut.hasShaper() && !lut.hasLattice()) {
        const int n = tables->allocated1DSize();
        if (n < 2) {
            *why = QStringLiteral("cannot be inverted: its 1D table has a single entry");
            return false;
        }
        return invertSeparable(lut, lo, hi, n, tableOutputs(*tables), inverse, report, why);
    }
    if (!tables && separable(lut)) {
        // Per-channel steps: sampled finely along the grey axis and inverted as curves.
        const int n = std::max(65536, lut.shaperSize());
        std::vector<float> y;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                y.push_back(position(lo[c], hi[c], i, n));
        lut.apply(y.data(), y.data(), std::size_t(n));
        return invertSeparable(lut, lo, hi, n, y, inverse, report, why);
    }

    // A lattice: the model's own (after its shaper, which is inverted as a curve), or the
    // chain evaluated on one.
    std::shared_ptr<const Read_LUTFile> lattice;
    LutTransform exact;
    std::shared_ptr<Ops::Curve> shaperInverse;
    if (tables) {
        lattice = lut.steps().front().tables;
        exact = LutTransform::latticeViewOf(*tables);
        if (lut.hasShaper() && !invertCurves(tables->domainMin1D, tables->domainMax1D, tables->allocated1DSize(),
                                             tableOutputs(*tables), shaperInverse, report.stretches, why))
            return false;
    } else {
        auto baked = std::make_shared<Read_LUTFile>();
        const int n = std::max(33, lut.latticeSize());
        if (!baked->setSize3D(n, false)) {
            *why = baked->errorString;
            return false;
        }
        std::copy(lo, lo + 3, baked->domainMin3D);
        std::copy(hi, hi + 3, baked->domainMax3D);
        const std::vector<float> nodes = latticePoints(lo, hi, n);
        lut.apply(nodes.data(), baked->lut3D.data(), nodes.size() / 3);
        lattice = baked;
        exact = lut;
    }
    LatticeInverse solver(*lattice, exact);
    if (!solver.prepare(report, why))
        return false;
    const int m = size > 0 ? size : std::max(33, lattice->allocated3DSize());
    std::vector<Found> found;
    auto table = invertLattice(solver, m, found, report, why);
    if (!table)
        return false;
    inverse = LutTransform();
    inverse.addTables(table);
    if (shaperInverse)
        inverse.addNode(shaperInverse);

    // The LUT then the inverse, where both can be undone; the inverse then the LUT at its nodes
    // inside the gamut.
    const int n = std::max(33, lattice->allocated3DSize());
    const bool shaper = bool(shaperInverse);
    measure(latticePoints(lo, hi, n), lut, inverse,
            [&](const float *x, const float *y) {
                float s[3] = {x[0], x[1], x[2]};
                if (shaper) {
                    if (inStretch(report.stretches, x))
                        return false;
                    LutCalc::Lut1D_liner(x, s, *tables);
                }
                return solver.invertibleAt(s) && cellInside(*table, found, y);
            },
            report.forward);
    std::size_t outside = 0;
    const std::vector<float> nodes = insideNodes(*table, found, &outside);
    measure(nodes, inverse, lut, [](const float *, const float *) { return true; }, report.backward);
    report.backward.leftOut = outside;
    return true;
}

}
