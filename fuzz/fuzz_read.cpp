// One reader through the reading dispatch, or the Common LUT Format reader, which has no id.
// The first input byte holds the flags (header only, default order, data order, table order),
// the rest is the file; the image readers get it as
// image bytes. Besides crashes, leaks, hangs and huge allocations, which the sanitizers and
// libFuzzer catch, the reader's contract is checked: a failure leaves a reason, a header-only
// read allocates nothing, and a full read that succeeds holds a table of the size it states.

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzutil.h"
#include "lut/read_lutfile.h"

#ifdef FUZZ_READ_CLF
#include "formats/clf.h"
#include "formats/registry.h"
#endif

#ifndef FUZZ_FORMAT_ID
#error "FUZZ_FORMAT_ID selects the reader (-1 with FUZZ_READ_CLF: the Common LUT Format)"
#endif

namespace {
QString inputPath;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzUtil::init(argc, argv);
    inputPath = FuzzUtil::scratchPath("input");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    if (!FuzzUtil::writeScratch(inputPath, data + 1, size - 1))
        return 0;

    const int id = FUZZ_FORMAT_ID;
    Read_LUTFile lut;
    const bool headerOnly = FuzzUtil::headerOnly(flags);
#ifdef FUZZ_READ_CLF
    // No dispatch id: the side's orders applied as the dispatch applies them. Chains are baked
    // on a 3-point lattice so that each run stays short; every node is evaluated all the same.
    const LUTFILE_ST side = FuzzUtil::side(id, inputPath, flags);
    lut.defaultOrder = side.defaultOrder;
    if (!side.defaultOrder) {
        lut.dataOrderRGB = side.dataOrderRGB;
        lut.tableOrderRGB = side.tableOrderRGB;
    }
    Formats::Options options;
    options.bakeSize = 3;
    const bool ok = Read_Clf(lut, inputPath, headerOnly, options);
#else
    const bool ok = lut.ReadFile(FuzzUtil::side(id, inputPath, flags), headerOnly);
#endif

    FuzzUtil::checkRead(lut, ok, headerOnly, id);
    return 0;
}
