#ifndef CALC_INVERT_H
#define CALC_INVERT_H

#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

#include "calc/lutcompare.h"

class LutTransform;

// The inverse of what a LUT does: the colour it was given, from the colour it gave.
//
// A 1D table (or the shaper in front of a lattice) is inverted exactly: its piecewise-linear
// curve read the other way round, a Curve node through the table's own points. Where a
// channel is flat or turns back, it has no inverse; the inverse then takes one end of the
// stretch, and the stretch is reported.
//
// A lattice is inverted on a lattice over the box of its output values (0 to 1 at least).
// Tetrahedral interpolation makes the lattice affine on each of its cells' six tetrahedra, so
// each node of the inverse is found in the tetrahedron whose image holds it and solved there,
// then refined against the whole transform. A node outside the LUT's output gamut takes the
// input of the nearest colour the LUT reaches. Any other chain is evaluated on a lattice first
// (a chain of per-channel steps on a fine 1D table), and refined against the chain itself.
namespace LutInvert {

// A stretch of a curve that has no inverse.
struct Stretch {
    int channel = 0;        // 0, 1, 2: R, G, B
    bool flat = true;       // flat; otherwise it runs against the rest of the curve
    float from = 0.0f;      // the inputs it spans
    float to = 0.0f;
    float level = 0.0f;     // the output the inverse gives back `from` for (flat) or
                            // where the curve turns back (otherwise)
};

// How far a round trip lands from where it started, measured as compare measures two LUTs:
// `at` is the colour the trip starts from, `a` where it ends, `b` the same as `at`.
struct RoundTrip {
    LutCompare::Channel channel[3];
    std::size_t colours = 0;   // colours measured
    std::size_t leftOut = 0;   // colours not measured (see Report)
    float largest() const;
};

struct Report {
    // The inverse's lattice: points per axis (0 for a 1D inverse), its nodes, those of them
    // outside the LUT's output gamut, which take the input of the nearest colour it gives, and
    // those it gives for several inputs (where it folds over), which take one of them.
    int size = 0;
    std::size_t nodes = 0;
    std::size_t outside = 0;
    std::size_t several = 0;
    // The source lattice's tetrahedra, and those that have no volume or fold over.
    std::size_t tetrahedra = 0;
    std::size_t flat = 0;
    std::size_t folded = 0;
    std::vector<Stretch> stretches;
    // The LUT then its inverse, at the nodes of a lattice over the LUT's domain (at least 33
    // points) or at four colours a 1D table's entry; left out are colours the LUT flattens or
    // folds, and those whose neighbouring nodes of the inverse are not all inside the gamut and
    // given for one input.
    RoundTrip forward;
    // The inverse then the LUT, at the inverse's nodes inside the gamut.
    RoundTrip backward;

    // What the inverse cannot undo, one sentence each; empty when it undoes everything.
    QStringList warnings() const;
};

// The inverse of `lut`. `size` sets the points per axis of an inverse lattice (2 to 256; 0:
// the source lattice's size, at least 33). False with `why` when the LUT has no inverse (a
// channel that is flat throughout, a lattice without volume, values that are not numbers).
bool invert(const LutTransform &lut, int size, LutTransform &inverse, Report &report, QString *why);

}

#endif
