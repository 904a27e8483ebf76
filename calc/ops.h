#ifndef CALC_OPS_H
#define CALC_OPS_H

#include <QString>

#include <array>
#include <memory>
#include <vector>

// The process nodes of a Common LUT Format chain and their evaluation. Values travel between
// nodes normalised (an integer bit depth of n bits divided by 2^n - 1), in single precision;
// each node scales its own parameters and tables by its bit depths, as the Common LUT Format
// document defines.
namespace Ops {

enum class BitDepth { I8, I10, I12, I16, F16, F32 };

// "8i" ... "32f"; false for any other text.
bool parseBitDepth(const QString &text, BitDepth *depth);
// 2^n - 1 for the integer depths, 1 for the float ones.
float bitDepthScale(BitDepth depth);

// IEEE 754 half-precision bit patterns.
float halfToFloat(quint16 bits);

class Node
{
public:
    explicit Node(int line) : line(line) {}
    virtual ~Node() = default;
    virtual void apply(float *rgb) const = 0;
    virtual const char *kind() const = 0;
    const int line;   // where the node starts in its document
};

// r2 = r1 * a11 + g1 * a12 + b1 * a13 + k1 (and so on), on values in the node's bit depths.
struct Matrix : Node {
    using Node::Node;
    float m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    float inScale = 1.0f;
    float outScale = 1.0f;
    void apply(float *rgb) const override;
    const char *kind() const override { return "Matrix"; }
};

// A 1D or 3x1D table over the input range 0 to 1, or over every half float (halfDomain).
struct Lut1D : Node {
    using Node::Node;
    int size = 0;
    bool halfDomain = false;
    std::vector<float> values;   // size RGB triples, already divided by the output scale
    void apply(float *rgb) const override;
    const char *kind() const override { return "LUT1D"; }
private:
    float linear(float x, int ch) const;
    float halfIndexed(float x, int ch) const;
};

struct Lut3D : Node {
    using Node::Node;
    int size = 0;
    bool tetrahedral = false;    // trilinear otherwise
    std::vector<float> values;   // size^3 RGB triples, blue index fastest, normalised
    void apply(float *rgb) const override;
    const char *kind() const override { return "LUT3D"; }
    const float *at(int r, int g, int b) const { return values.data() + ((std::size_t(r) * size + g) * size + b) * 3; }
};

// Scale and offset from [minIn, maxIn] to [minOut, maxOut], with or without clamping, or a
// clamp at one end only.
struct Range : Node {
    using Node::Node;
    bool hasMin = false, hasMax = false;
    float minIn = 0, maxIn = 1, minOut = 0, maxOut = 1;   // in the node's bit depths
    bool clamp = true;
    float inScale = 1.0f;
    float outScale = 1.0f;
    void apply(float *rgb) const override;
    const char *kind() const override { return "Range"; }
};

struct AscCdl : Node {
    using Node::Node;
    enum Style { Fwd, Rev, FwdNoClamp, RevNoClamp } style = Fwd;
    float slope[3] = {1, 1, 1};
    float offset[3] = {0, 0, 0};
    float power[3] = {1, 1, 1};
    float saturation = 1.0f;
    void apply(float *rgb) const override;
    const char *kind() const override { return "ASC_CDL"; }
};

struct LogParams {
    float base = 2.0f;
    float logSideSlope = 1.0f;
    float logSideOffset = 0.0f;
    float linSideSlope = 1.0f;
    float linSideOffset = 0.0f;
    float linSideBreak = 0.0f;
    bool hasLinSideBreak = false;
    float linearSlope = 0.0f;
    bool hasLinearSlope = false;
    // Derived by Log::prepare for the camera styles.
    float logSideBreak = 0.0f;
    float linearOffset = 0.0f;
};

struct Log : Node {
    using Node::Node;
    enum Style { Log10, AntiLog10, Log2, AntiLog2, LinToLog, LogToLin, CameraLinToLog, CameraLogToLin } style = Log10;
    std::array<LogParams, 3> params;
    // Solve the linear segment of the camera styles; false with `why` when the parameters
    // leave a curve undefined (a zero slope, a logarithm of a value at or below zero).
    bool prepare(QString *why);
    void apply(float *rgb) const override;
    const char *kind() const override { return "Log"; }
private:
    float one(float x, const LogParams &p) const;
};

struct ExponentParams {
    float exponent = 1.0f;
    float offset = 0.0f;
    bool identity = true;   // no parameters were given for this channel
    // Derived by Exponent::prepare for the monCurve styles.
    float breakIn = 0.0f;   // xBreak (forward) or yBreak (reverse)
    float slope = 1.0f;     // s
};

struct Exponent : Node {
    using Node::Node;
    enum Style {
        BasicFwd, BasicRev, BasicMirrorFwd, BasicMirrorRev, BasicPassThruFwd, BasicPassThruRev,
        MonCurveFwd, MonCurveRev, MonCurveMirrorFwd, MonCurveMirrorRev
    } style = BasicFwd;
    std::array<ExponentParams, 3> params;
    bool isMonCurve() const { return style >= MonCurveFwd; }
    bool prepare(QString *why);
    void apply(float *rgb) const override;
    const char *kind() const override { return "Exponent"; }
private:
    float one(float x, const ExponentParams &p) const;
};

// A curve per channel through the points (x[i], y[i]), x ascending, whose points need not be
// evenly spaced: linear between points, or (smooth) the cubic through them that .csp
// pre-LUTs are read with, whose slope at a point is that of the chord between its neighbours
// and at an end point twice the end interval's slope less the next point's (so that three
// points on a parabola give that parabola). Below the first point and above the last the
// curve holds its end values.
struct Curve : Node {
    using Node::Node;
    std::vector<float> x[3];
    std::vector<float> y[3];
    bool smooth = false;
    void apply(float *rgb) const override;
    const char *kind() const override { return "Curve"; }
    // Whether channel `ch`'s points are evenly spaced (within float rounding), so that a 1D
    // table over [x.front(), x.back()] holds the curve exactly.
    bool evenlySpaced(int ch) const;
    // Whether channel `ch`'s points lie on one line (within float rounding), where the smooth
    // curve is that line too.
    bool straight(int ch) const;
private:
    float smoothAt(int ch, std::size_t lo, float v) const;
};

// The nodes of a document in order, applied one after the other.
class Chain
{
public:
    void add(std::unique_ptr<Node> node) { nodes_.push_back(std::move(node)); }
    int size() const { return int(nodes_.size()); }
    const Node &node(int i) const { return *nodes_[std::size_t(i)]; }
    void apply(float *rgb) const
    {
        for (const auto &n : nodes_)
            n->apply(rgb);
    }
    // The points per axis of the largest LUT3D, 0 when there is none.
    int largestLut3D() const;
    // Hand the nodes over, leaving the chain empty.
    std::vector<std::unique_ptr<Node>> take() { return std::move(nodes_); }

private:
    std::vector<std::unique_ptr<Node>> nodes_;
};

}

#endif
