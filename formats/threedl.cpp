// .3dl: a text 3D LUT of integer samples (usually 10 to 16 bits), one line of three numbers per
// node, with an optional header that declares the lattice and the sample depth.
//
//   3DMESH
//   Mesh 4 12                      <- optional: 2^4 + 1 = 17 points, samples 0 to 2^12 - 1
//   0 64 128 ... 960 1023          <- input mesh points along one axis (2 fields, or 4 or more)
//   0 0 0                          <- node r=0 g=0 b=0
//   0 0 255                        <- r=0 g=0 b=1: blue runs fastest, red slowest
//   ...                            (size^3 lines of R G B)
//   gamma 1.0                      <- optional, kept in `gamma`
//
// Lines beginning with "#" are comments; lines of one field (such as "LUT8") are ignored.
// Without a "Mesh" line the lattice size is the number of mesh points and the sample range is
// the smallest 2^m - 1 (m = 2 to 16) that holds the largest sample; a file whose samples are
// all at most 1 holds fractions and keeps the range 0 to 1.
//
// The writer gives the Mesh form (its Mesh line makes the sample depth certain) for lattices of
// 2^a + 1 points, or on request the form without the first two lines; both carry the mesh-point
// line as 10-bit numbers. Samples are rounded to the nearest code.
//
// The text is parsed once: the numbers of every sample line are collected while the header is
// found, and the lattice is filled from them once the sample range is known.
//
// Read faithfully, samples are codes divided by their full scale 2^b - 1: b from the Mesh
// line, or without one the depth the tools that write the format and OpenColorIO take from
// the largest sample (8 bits below 512, 10 below 2048, 12 below 8192, else 16); samples with
// fractions, or none above 1, are floats as written. Nothing is clamped. Mesh points at even
// steps (within one code: 0 64 ... 960 1023) place the lattice nodes evenly; others are the
// inputs of the nodes, a curve before the lattice.

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/lutlimits.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textfields.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"
#include "formats/latticeout.h"
#include "formats/writers.h"

namespace {
int latticeSize(int size, bool given, const Formats::Options &options, QString *sizes);
bool threeDLMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why);
}

namespace Formats {
const Faithful threeDLFaithful = {threeDLMeaning, nullptr, nullptr, nullptr, false, {true, true}};
extern const Format threeDLFormat = withFaithful({
    "3dl", Id::ThreeDL, ".3dl", "3dl", true,
    memberReader<&Read_LUTFile::Read_3dl>, Write_3dl, false,
    {true, true}, {true, true}, 1, 0, nullptr, false, nullptr, latticeSize}, &threeDLFaithful);
}

namespace {

constexpr int maxMeshPoints = int(sizeof(Read_LUTFile::meshPoints) / sizeof(double));
// No lattice the program holds needs more sample lines than this.
constexpr std::size_t maxSampleLines = std::size_t(LutLimits::max3DSize) * LutLimits::max3DSize * LutLimits::max3DSize;

// Shortest sample line: "0 0 0" and a line end.
constexpr int minSampleLineBytes = 6;

// Largest exponents a "Mesh" line may give: 2^7 + 1 = 129 points (2^8 + 1 would pass the
// lattice limit), and samples of up to 30 bits.
constexpr int maxMeshExponent = 7;
constexpr int maxSampleBits = 30;

bool isSkipped(const LineReader &r)
{
    return r.isEmpty() || r.first() == '#' || r.equals("3DMESH");
}

// Full-scale value of integer samples whose largest is `largest`: the smallest 2^m - 1 for
// m = 2 to 16 not below its integer part, or 65535 beyond. Fractions (all samples at most 1)
// are already normalised and keep the range 1: the rule would give 3 and shrink them.
float inferredRange(double largest)
{
    if (!(largest > 1.0))
        return 1.0f;
    const double whole = std::floor(largest);
    for (int m = 2; m <= 16; ++m) {
        const double range = std::ldexp(1.0, m) - 1.0;
        if (range >= whole)
            return float(range);
    }
    return 65535.0f;
}

// "Mesh a b": 2^a + 1 points per axis, samples 0 to 2^b - 1.
bool readMeshLine(Read_LUTFile &lut, const LineReader &r)
{
    int v[2] = {0, 0};
    const int got = KeywordLine(r, "Mesh ").ints(v, 2);
    if (got < 1)
        return lut.failAt(r, QStringLiteral("Mesh line has no numbers"));
    if (got < 2)
        return lut.failAt(r, QStringLiteral("Mesh line needs two numbers"));
    if (v[0] < 0 || v[0] > maxMeshExponent)
        return lut.failAt(r, QStringLiteral("Mesh lattice exponent %1 is outside 0 to %2").arg(v[0]).arg(maxMeshExponent));
    if (v[1] < 1 || v[1] > maxSampleBits)
        return lut.failAt(r, QStringLiteral("Mesh sample depth %1 is outside 1 to %2").arg(v[1]).arg(maxSampleBits));
    lut.setSize3D((1 << v[0]) + 1, true, r.lineNumber());
    for (int ch = 0; ch < 3; ++ch) {
        lut.domainMin3D[ch] = 0.0f;
        lut.domainMax3D[ch] = float((qint64(1) << v[1]) - 1);
    }
    return true;
}

// Input mesh points into meshPoints, divided by the largest point seen so far in the file;
// the caller has made sure they fit. A field that is not wholly a number counts as 0.
int readMeshPoints(Read_LUTFile &lut, const LineReader &r, double &largestMesh)
{
    TextFields::Cursor f{r.data(), r.data() + r.size()};
    const char *begin = nullptr;
    const char *stop = nullptr;
    int n = 0;
    // Raw stores keep the points of the last mesh-point line as written.
    std::vector<float> &raw = lut.preLutIn[0];
    raw.clear();
    while (f.next(begin, stop)) {
        NumScan::Cursor c{begin, stop};
        double v = 0.0;
        if (!NumScan::readDouble(c, v) || c.p != stop)
            v = 0.0;
        if (lut.rawStore)
            raw.push_back(float(v));
        lut.meshPoints[n++] = v;
        if (v > largestMesh)
            largestMesh = v;
    }
    // Points that are all 0 (or not numbers) have no scale to divide by.
    if (largestMesh > 0.0) {
        for (int i = 0; i < n; ++i)
            lut.meshPoints[i] /= largestMesh;
    }
    return n;
}

}

bool Read_LUTFile::Read_3dl(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::threeDLFormat.readOrder);

    // Sample lines give the samples and the largest of them (the sample range of a file without
    // a "Mesh" line). A three-field line whose later numbers do not convert still gives a
    // sample; those channels keep the previous line's values.
    double largest = 0.0;
    double largestMesh = 0.0;
    double s[3] = {0.0, 0.0, 0.0};
    std::vector<float> samples;
    std::size_t sampleLines = 0;
    int sizeLine = 0;

    const auto failed = [this](int line, const QString &why) {
        resetUpperEnds();
        return failAt(line, why);
    };

    while (r.next()) {
        // Nearly every line is a sample of three numbers: that case is recognised in one pass.
        bool sample = !headerOnly && TextFields::readNumberFields(r.data(), r.size(), s, 3);
        if (!sample) {
            if (isSkipped(r)) {
                if (r.first() == '#')
                    qDebug() << r.text();
                continue;
            }
            if (r.startsWith("Mesh")) {
                if (!readMeshLine(*this, r)) {
                    resetUpperEnds();
                    return false;
                }
                sizeLine = r.lineNumber();
                continue;
            }
            if (r.startsWith("gamma")) {
                if (KeywordLine(r, "gamma ").doubles(&gamma, 1) < 1)
                    return failed(r.lineNumber(), QStringLiteral("gamma line has no number"));
                continue;
            }
            const int fields = TextFields::count(r.data(), r.size());
            if (fields == 3) {
                sample = !headerOnly && NumScan::scanDoubles(r.data(), r.size(), s, 3) >= 1;
            } else if (fields != 1) {
                if (fields > maxMeshPoints)
                    return failed(r.lineNumber(), QStringLiteral("%1 mesh points; a lattice has at most %2")
                                                      .arg(fields).arg(maxMeshPoints));
                const int n = readMeshPoints(*this, r, largestMesh);
                if (lut3DSize == 0) {
                    setSize3D(n, true, r.lineNumber());
                    sizeLine = r.lineNumber();
                }
            }
            if (!sample)
                continue;
        }

        // Once a "Mesh" line has given an integer range the samples need not set one.
        if (domainMax3D[0] < 1.1f) {
            for (double v : s) {
                if (v > largest)
                    largest = v;
            }
        }
        if (sampleLines < maxSampleLines) {
            if (samples.empty() && lut3DSize > 0) {
                // Room for the declared lattice, but never for more lines than the file holds.
                const std::size_t lines = std::size_t(r.textBytes() / minSampleLineBytes) + 1;
                samples.reserve(std::min(std::size_t(lut3DSize) * lut3DSize * lut3DSize, lines) * 3);
            }
            samples.push_back(float(s[0]));
            samples.push_back(float(s[1]));
            samples.push_back(float(s[2]));
            ++sampleLines;
        }
    }
    const int lastLine = r.lineNumber();

    if (lut3DSize < 1)
        return failed(0, QStringLiteral("no Mesh line and no mesh-point line: the lattice size is unknown"));
    if (headerOnly) {
        resetUpperEnds();
        return true;
    }
    // Raw stores leave the sample range to the faithful meaning.
    if (!rawStore && domainMax3D[0] < 1.1f && largest > 0.1) {
        const float range = inferredRange(largest);
        for (int ch = 0; ch < 3; ++ch)
            domainMax3D[ch] = range;
    }

    // Refused before the table is allocated: a short file never costs a large lattice.
    const int n = lut3DSize;
    const std::size_t nodes = std::size_t(n) * n * n;
    if (sampleLines + 1 < nodes || sampleLines == 0)
        return failed(lastLine, QStringLiteral("the lattice ends after %1 of %2 samples").arg(sampleLines).arg(nodes));
    if (!setSize3D(n, false, sizeLine)) {
        resetUpperEnds();
        return false;
    }

    const float *v = samples.data();
    std::size_t left = std::min(sampleLines, nodes);
    for (int outer = 0; outer < n && left > 0; ++outer)
        for (int middle = 0; middle < n && left > 0; ++middle)
            for (int inner = 0; inner < n && left > 0; ++inner, --left, v += 3)
                White3D(outer, middle, inner, v[0], v[1], v[2], domainMin3D, domainMax3D);

    resetUpperEnds();
    return true;
}

// ---- Faithful reading

namespace {

// The depth OpenColorIO and the format's writers take for a file without a Mesh line.
float impliedFullScale(float largest)
{
    for (int bits : {8, 10, 12}) {
        if (largest < std::ldexp(2.0f, bits))
            return std::ldexp(1.0f, bits) - 1.0f;
    }
    return 65535.0f;
}

// The mesh points as a curve to the lattice's node coordinates, unless they step evenly
// (within one code of integer points), where they say nothing the lattice does not.
bool meshCurve(Read_LUTFile &m, QString *why)
{
    std::vector<float> mesh = m.preLutIn[0];
    for (int c = 0; c < 3; ++c) {
        m.preLutIn[c].clear();
        m.preLutOut[c].clear();
    }
    const int n = m.allocated3DSize();
    if (int(mesh.size()) != n || n < 2)
        return true;
    const double top = mesh.back();
    if (!std::is_sorted(mesh.begin(), mesh.end()) || !(top > mesh.front())) {
        *why = QStringLiteral("the mesh points do not rise");
        return false;
    }
    const double tolerance = top > 1.0 ? 1.0 : 1e-6;
    bool even = true;
    for (int i = 0; i < n && even; ++i)
        even = std::fabs(double(mesh[std::size_t(i)]) - top * i / (n - 1)) <= tolerance;
    if (even && mesh.front() == 0.0f)
        return true;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < n; ++i) {
            m.preLutIn[c].push_back(float(double(mesh[std::size_t(i)]) / top));
            m.preLutOut[c].push_back(float(i) / float(n - 1));
        }
    return true;
}

bool threeDLMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    Read_LUTFile &m = *raw;
    if (!meshCurve(m, why))
        return false;
    const float largest = Formats::Meaning::largestValue(m);
    float scale = 1.0f;
    if (!Formats::Meaning::wholeNumbers(m))
        scale = 1.0f;
    else if (m.domainMax3D[0] > 1.1f)
        scale = m.domainMax3D[0];   // the Mesh line's depth
    else if (largest > 1.0f)
        scale = impliedFullScale(largest);
    Formats::Meaning::divide(m, scale, 1.0);
    return Formats::Meaning::withPreLut(std::move(raw), false, out, why);
}

}

// ---- Writing

namespace {

constexpr int defaultSampleBits = 12;
// Input positions of the mesh-point line are 10-bit numbers.
constexpr int meshTop = 1023;

// Input position of lattice point i of n on the mesh-point line. Lattices of 2^a + 1 points
// use the steps of 1024 / 2^a with the last point at 1023 (0 64 ... 960 1023), as files of
// this format carry them; other sizes are spread evenly over 0 to 1023.
int meshPoint(int i, int n)
{
    const int steps = n - 1;
    if ((meshTop + 1) % steps == 0)
        return std::min(i * ((meshTop + 1) / steps), meshTop);
    return int(std::floor(double(i) * meshTop / steps + 0.5));
}

// The exponent a of a lattice of 2^a + 1 points, or -1.
int meshExponent(int n)
{
    for (int a = 0; a <= maxMeshExponent; ++a) {
        if ((1 << a) + 1 == n)
            return a;
    }
    return -1;
}

// Without a Mesh line three mesh points would read as a sample line, and one as nothing.
bool headerlessFits(int n)
{
    return n == 2 || (n >= 4 && n <= maxMeshPoints);
}

// A size that does not fit becomes the smallest larger one that does.
int latticeSize(int size, bool given, const Formats::Options &options, QString *sizes)
{
    if (options.headerless ? headerlessFits(size) : meshExponent(size) >= 0)
        return size;
    if (given) {
        *sizes = options.headerless ? QStringLiteral("lattices of 2, or of 4 to %1 points").arg(maxMeshPoints)
                                    : QStringLiteral("lattices of 2^n + 1 points (2, 3, 5, 9, 17, 33, 65, 129) "
                                                     "with a Mesh line; --headerless writes other sizes");
        return 0;
    }
    if (options.headerless)
        return 4;
    for (int a = 0; a < maxMeshExponent; ++a) {
        if ((1 << a) + 1 >= size)
            return (1 << a) + 1;
    }
    return (1 << maxMeshExponent) + 1;
}

int sampleBits(const Formats::Options &options)
{
    return options.bits == 0 ? defaultSampleBits : options.bits;
}

}

bool Formats::Write_3dl(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options)
{
    if (!LatticeOut::has3D(writer, lut, ".3dl"))
        return false;
    const int bits = sampleBits(options);
    if (bits < 8 || bits > 16) {
        writer.errorString = QStringLiteral("a .3dl holds samples of 8 to 16 bits, not %1").arg(bits);
        return false;
    }
    const int n = lut.lut3DSize;
    const int exponent = meshExponent(n);
    if (options.headerless) {
        if (!headerlessFits(n)) {
            writer.errorString = QStringLiteral("a .3dl without a Mesh line cannot hold a %1-point lattice").arg(n);
            return false;
        }
    } else if (exponent < 0) {
        writer.errorString = QStringLiteral("the Mesh form of .3dl holds lattices of 2^n + 1 points (17, 33, 65 ...), "
                                            "not %1: resample, or write the headerless form").arg(n);
        return false;
    }

    const qint64 top = (qint64(1) << bits) - 1;
    Read_LUTFile samples;
    if (!LatticeOut::clampedCopy(writer, lut, top, samples))
        return false;

    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    if (!options.headerless) {
        out.put("3DMESH");
        out.endLine();
        out.put("Mesh ");
        out.putInt(exponent);
        out.put(' ');
        out.putInt(bits);
        out.endLine();
    }
    // The size comes from the Mesh line; three mesh points would only read as a sample.
    if (options.headerless || n != 3) {
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                out.put(' ');
            out.putInt(meshPoint(i, n));
        }
        out.endLine();
    }
    writer.applyDefaultOrder(threeDLFormat.writeOrder);
    writer.writeLattice(out, samples, top, " ");
    return writer.finish(out);
}

int Formats::headerless3dlReadBits(const Read_LUTFile &lut, int bits, int *written)
{
    *written = bits == 0 ? defaultSampleBits : bits;
    const quint32 top = (quint32(1) << *written) - 1;
    quint32 largest = 0;
    if (lut.lut3D) {
        const float *v = lut.lut3D.data();
        for (std::size_t i = 0; i < lut.lut3D.floatCount(); ++i)
            largest = std::max(largest, LatticeOut::code(v[i], top));
    }
    if (largest == 0)
        return *written;
    if (largest <= 1)
        return 0;
    return int(std::lround(std::log2(double(impliedFullScale(float(largest))) + 1.0)));
}

bool Formats::headerless3dlReadsBack(const Read_LUTFile &lut, int bits)
{
    if (!lut.lut3D)
        return true;
    const quint32 top = (quint32(1) << (bits == 0 ? defaultSampleBits : bits)) - 1;
    quint32 largest = 0;
    const float *v = lut.lut3D.data();
    for (std::size_t i = 0; i < lut.lut3D.floatCount(); ++i)
        largest = std::max(largest, LatticeOut::code(v[i], top));
    // All zero reads as zero whatever the range.
    return largest == 0 || inferredRange(double(largest)) == float(top);
}
