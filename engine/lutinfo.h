#ifndef ENGINE_LUTINFO_H
#define ENGINE_LUTINFO_H

#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

class LutTransform;

// What a LUT holds, as the front ends show it: its tables with their sizes, domains and the
// range of their values.
namespace LutInfo {

// Smallest and largest value of each channel over `count` RGB triples; NaNs are left out, and
// a channel with no number left has lo above hi.
struct Ranges {
    float lo[3], hi[3];
    bool any(int c) const { return lo[c] <= hi[c]; }
};

Ranges channelRanges(const float *data, std::size_t count);

// One table of a file: its size, domain and value ranges. The domain points into the
// transform, which must outlive the table.
struct Table {
    const char *name;   // "3D" or "1D"
    int size;
    const float *domainMin, *domainMax;
    Ranges ranges;
};

// The tables of a transform in the order they apply: a shaper ("1D") before its lattice ("3D").
std::vector<Table> tablesOf(const LutTransform &t);

// "3D", "1D", "1D and 3D" (a shaper, then a lattice), or "chain" for anything with other steps.
QString dimensionText(const LutTransform &t, const std::vector<Table> &tables);

// The kind of each step ("1D", "3D", "1D and 3D", or a process node's kind).
QStringList stepNames(const LutTransform &t);

}

#endif
