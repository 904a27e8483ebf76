#ifndef LUTLIMITS_H
#define LUTLIMITS_H

#include <cstddef>

// Largest tables the program holds. Every size read from a file is checked against these
// before anything is allocated, so a tiny file cannot make the program reserve gigabytes.
namespace LutLimits {
// A 4096 x 4096 texture image holds a 256-point lattice, the largest any format produces.
constexpr int max3DSize = 256;
constexpr int max1DSize = 1048576;

// The largest input read as a LUT, in bytes: QTextStream reads a text through QByteArray-sized
// strings, so nothing beyond this was ever a LUT file. Every input is held to it, also one whose
// size cannot be known in advance (a pipe, a FIFO, a device), counted while it is read.
constexpr long long maxFileBytes = 1536LL << 20;

constexpr bool valid3DSize(long long n) { return n >= 1 && n <= max3DSize; }
constexpr bool valid1DSize(long long n) { return n >= 1 && n <= max1DSize; }

// Whether a text of `bytes` bytes can hold the sample lines of an n-point lattice (n within
// the limit above) when every line takes at least `lineBytes` bytes with its line end and the
// last node may be missing. A file that cannot is refused before its table is allocated, so
// a tiny file that declares the largest lattice costs nothing.
constexpr bool textCanHoldLattice(long long bytes, int n, int lineBytes)
{
    return bytes >= (static_cast<long long>(n) * n * n - 1) * lineBytes - 1;
}

// Common LUT Format documents: a chain of process nodes, each of which may hold a table.
constexpr int maxChainNodes = 1000;
constexpr long long maxChainTableFloats = 64LL << 20;   // all tables of one chain together
// The XML reader keeps a start tag, its attributes included, whole in memory and a stack of
// the open elements: both are bounded before the document is parsed.
constexpr int maxXmlTagBytes = 1 << 16;
constexpr int maxXmlDepth = 64;

// ASC CDL collections and decision lists: a feature holds a few thousand shots.
constexpr int maxCdlCorrections = 100000;
}

#endif
