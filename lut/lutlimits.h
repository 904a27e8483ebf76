#ifndef LUTLIMITS_H
#define LUTLIMITS_H

#include <cstddef>

// Largest tables the program holds. Every size read from a file is checked against these
// before anything is allocated, so a tiny file cannot make the program reserve gigabytes.
namespace LutLimits {
// A 4096 x 4096 texture image holds a 256-point lattice, the largest any format produces.
constexpr int max3DSize = 256;
constexpr int max1DSize = 1048576;

constexpr bool valid3DSize(long long n) { return n >= 1 && n <= max3DSize; }
constexpr bool valid1DSize(long long n) { return n >= 1 && n <= max1DSize; }
}

#endif
