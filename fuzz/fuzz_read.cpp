// One reader through the format registry. The first input byte holds the flags (header only,
// default order, data order, table order), the rest is the file; the image readers get it as
// image bytes. Besides crashes, leaks, hangs and huge allocations, which the sanitizers and
// libFuzzer catch, the reader's contract is checked: a failure leaves a reason, a header-only
// read allocates nothing, a full read that succeeds holds a table of the size it states, and the
// faithful reading of the same bytes gives a reason or a transform that can be applied.

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzutil.h"
#include "formats/faithful.h"
#include "lut/read_lutfile.h"

namespace {
QString inputPath;
const Formats::Format *format = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzUtil::init(argc, argv);
    format = &FuzzUtil::targetFormat((*argv)[0]);
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

    Read_LUTFile lut;
    const bool headerOnly = FuzzUtil::headerOnly(flags);
    // Chains (CLF) are evaluated on a 3-point lattice so that each run stays short; every node
    // is evaluated all the same.
    Formats::Options options;
    options.bakeSize = 3;
    const bool ok = Formats::read(*format, FuzzUtil::side(*format, inputPath, flags), lut, headerOnly, options);

    if (!ok && lut.errorString.isEmpty())
        FuzzUtil::fault("a failed read leaves no reason", *format, QString());
    if (headerOnly && (lut.lut3D || lut.lut1D))
        FuzzUtil::fault("a header-only read allocated a table", *format, QString());
    if (lut.lut3D && lut.lut3D.size() != lut.lut3DSize)
        FuzzUtil::fault("the 3D table's size differs from lut3DSize", *format,
                        QStringLiteral("%1 allocated, lut3DSize %2").arg(lut.lut3D.size()).arg(lut.lut3DSize));
    if (lut.lut1D && lut.lut1D.size() != lut.lut1DSize)
        FuzzUtil::fault("the 1D table's size differs from lut1DSize", *format,
                        QStringLiteral("%1 allocated, lut1DSize %2").arg(lut.lut1D.size()).arg(lut.lut1DSize));
    if (ok && !headerOnly && !lut.lut3D && !lut.lut1D)
        FuzzUtil::fault("a full read succeeded without a table", *format, QString());

    // The faithful reading of the same bytes, and one evaluation of what it made: a failure
    // gives a reason, a success holds a step.
    if (!headerOnly) {
        LutTransform t;
        QString why;
        if (!Formats::readTransform(*format, FuzzUtil::side(*format, inputPath, flags), options, t, &why)) {
            if (why.isEmpty())
                FuzzUtil::fault("a failed faithful read leaves no reason", *format, QString());
        } else if (t.isEmpty()) {
            FuzzUtil::fault("a faithful read succeeded without a step", *format, QString());
        } else {
            float rgb[3] = {0.25f, 0.5f, 0.75f};
            t.apply(rgb);
        }
    }
    return 0;
}
