// The Common LUT Format reader, which the numeric dispatch does not reach. The first input
// byte holds the flags (bit 0 header only, bit 1 the format's default order, bit 2 data order
// RGB, bit 3 table order RGB), the rest is the document. Chains are baked on a 3-point
// lattice so that each run stays short; the evaluation of every node is reached all the same.
// Besides what the sanitizers catch, the reader's contract is checked as for the others.

#include <cstddef>
#include <cstdint>

#include "formats/clf.h"
#include "formats/registry.h"
#include "fuzz/fuzzutil.h"
#include "lut/read_lutfile.h"

namespace {
QString inputPath;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzUtil::init(argc, argv);
    inputPath = FuzzUtil::scratchPath("input.clf");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    if (!FuzzUtil::writeScratch(inputPath, data + 1, size - 1))
        return 0;

    const LUTFILE_ST side = FuzzUtil::side(-1, inputPath, flags);
    Read_LUTFile lut;
    lut.defaultOrder = side.defaultOrder;
    if (!side.defaultOrder) {
        lut.dataOrderRGB = side.dataOrderRGB;
        lut.tableOrderRGB = side.tableOrderRGB;
    }
    Formats::Options options;
    options.bakeSize = 3;
    const bool headerOnly = FuzzUtil::headerOnly(flags);
    const bool ok = Read_Clf(lut, inputPath, headerOnly, options);

    if (!ok && lut.errorString.isEmpty())
        FuzzUtil::fault("a failed read leaves no reason", -1, QString());
    if (headerOnly && (lut.lut3D || lut.lut1D))
        FuzzUtil::fault("a header-only read allocated a table", -1, QString());
    if (lut.lut3D && lut.lut3D.size() != lut.lut3DSize)
        FuzzUtil::fault("the 3D table's size differs from lut3DSize", -1, QString());
    if (lut.lut1D && lut.lut1D.size() != lut.lut1DSize)
        FuzzUtil::fault("the 1D table's size differs from lut1DSize", -1, QString());
    if (ok && !headerOnly && !lut.lut3D && !lut.lut1D)
        FuzzUtil::fault("a full read succeeded without a table", -1, QString());
    return 0;
}
