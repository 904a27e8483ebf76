// Whatever a reader accepts is written through every writer and read back by that writer's
// own reader, under the sanitizers. Input: byte 0 the reader's format id (modulo the number of formats), byte 1 the
// reading flags, byte 2 the writing flags (bits 0-2 as for reading, bits 3-4 the integer
// scale), then the file. A writer that reports success must leave a file its own reader
// accepts, with the lattice size or entry count that was written.

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzutil.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {
QString inputPath;
QString outputPath;

const int writable[] = {0, 4, 6, 7, 8, 11, 12, 13, 14, 15, 16};
const qint64 scales[] = {1, 255, 1023, 65535};

// Writing a large table costs time in proportion to its size and finds nothing a small one
// does not; such inputs are left to the reading targets.
constexpr int max3D = 17;
constexpr int max1D = 4096;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzUtil::init(argc, argv);
    inputPath = FuzzUtil::scratchPath("input");
    outputPath = FuzzUtil::scratchPath("output");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int readerId = data[0] % Read_LUTFile::formatCount;
    const uint8_t readFlags = data[1] & ~1;   // always a full read
    const uint8_t writeFlags = data[2];
    if (!FuzzUtil::writeScratch(inputPath, data + 3, size - 3))
        return 0;

    Read_LUTFile lut;
    if (!lut.ReadFile(FuzzUtil::side(readerId, inputPath, readFlags), false))
        return 0;
    if ((lut.lut3D && lut.lut3DSize > max3D) || (lut.lut1D && lut.lut1DSize > max1D))
        return 0;

    for (int writerId : writable) {
        LUTFILE_ST out = FuzzUtil::side(writerId, outputPath, writeFlags & 0x0e);
        out.scale = scales[(writeFlags >> 3) & 3];
        out.outputSize3D = lut.lut3DSize;
        Write_LUTFile writer;
        if (!writer.WriteFile(out, lut)) {
            if (writer.errorString.isEmpty())
                FuzzUtil::fault("a failed write leaves no reason", writerId, QString());
            continue;
        }
        // A writer given no table of its kind writes an empty table, which is not a LUT; the
        // 1D .lut always holds 256 entries, whatever it was given.
        const bool is3D = Read_LUTFile::formatIs3D(writerId);
        if (is3D ? !lut.lut3D : !lut.lut1D)
            continue;
        if (writerId == 7 && lut.lut1DSize != 256)
            continue;
        Read_LUTFile back;
        // The writer's own orders, so that the file reads back as it was laid out.
        if (!back.ReadFile(FuzzUtil::side(writerId, outputPath, 0x02), false))
            FuzzUtil::fault("a written file does not read back", writerId,
                            QStringLiteral("read by id %1, then: %2").arg(readerId).arg(back.errorString));
        if (is3D && back.lut3DSize != lut.lut3DSize)
            FuzzUtil::fault("a written lattice reads back at another size", writerId,
                            QStringLiteral("%1 written, %2 read").arg(lut.lut3DSize).arg(back.lut3DSize));
        if (!is3D && back.lut1DSize != lut.lut1DSize)
            FuzzUtil::fault("a written 1D table reads back with another length", writerId,
                            QStringLiteral("%1 written, %2 read").arg(lut.lut1DSize).arg(back.lut1DSize));
    }
    return 0;
}
