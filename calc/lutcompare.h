#ifndef LUTCOMPARE_H
#define LUTCOMPARE_H

#include <QString>

#include <cstddef>

class LutTransform;
class Read_LUTFile;

// How far two LUTs are apart. Both are looked up at the same input colours: the nodes of an
// N-point lattice over the box that holds both input domains, then the nodes of each LUT
// itself, every colour once. A LUT is its 3D lattice, looked up tetrahedrally over its own
// domain and size; one without a lattice is its 1D table, looked up linearly per channel,
// which is what the separable lattice of that table gives under tetrahedral lookup. A 1D
// table's own nodes are its entries, taken along all three channels at once.
namespace LutCompare {

struct Channel {
    float largest = 0.0f;      // largest absolute difference
    double mean = 0.0;
    float percentile99 = 0.0f; // the difference that 99% of the colours stay at or below
    float at[3] = {0, 0, 0};   // the first input colour where the largest difference occurs
    float a[3] = {0, 0, 0};    // what each LUT gives there
    float b[3] = {0, 0, 0};
};

struct Result {
    Channel channel[3];        // output R, G, B
    int latticeSize = 0;
    std::size_t colours = 0;
    QString error;             // why no comparison was made; empty on success

    float largest() const;
};

// The lattice the comparison uses when the caller names none: as fine as the finer lattice of
// the two, and at least 33 points.
int defaultLatticeSize(const Read_LUTFile &a, const Read_LUTFile &b);
int defaultLatticeSize(const LutTransform &a, const LutTransform &b);

// Compare `a` and `b` at the nodes of a `latticeSize`-point lattice (2 or more) and at their
// own nodes. A difference where one LUT gives NaN and the other does not counts as infinite.
Result compare(const Read_LUTFile &a, const Read_LUTFile &b, int latticeSize);
// The same for what two files do: each looked up through its whole transform, over the box
// that holds both input domains. A transform's own nodes are those of its first table (a
// shaper's entries taken along all three channels at once, or the lattice's nodes); one that
// starts with another step has none.
Result compare(const LutTransform &a, const LutTransform &b, int latticeSize);

// A difference of the nominal range 0..1 in code values of a `bits`-bit signal.
double inCodes(float difference, int bits);

// What `lut` gives for `count` RGB triples, as the comparison looks it up (in and out may be
// the same array). A LUT with neither table gives zeros.
void apply(const Read_LUTFile &lut, const float *in, float *out, std::size_t count);

}

#endif
