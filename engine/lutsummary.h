#ifndef ENGINE_LUTSUMMARY_H
#define ENGINE_LUTSUMMARY_H

#include <QString>

class LutTransform;

// A LUT in a few words, as the checking commands name it.
namespace LutSummary {

// "3D lattice of 33 points", "1D table of 1024 entries", "1D shaper of 4096 entries and 3D
// lattice of 33 points", or the steps of a chain.
QString table(const LutTransform &lut);
// "1D" for a 1D table alone, "3D" for anything else, and the points per axis (entries) of its
// largest lattice (1D table); 0 for a chain without tables.
QString dimension(const LutTransform &lut);
int size(const LutTransform &lut);

}

#endif
