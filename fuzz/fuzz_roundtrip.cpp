// Whatever a reader accepts is written through every writer and read back by that writer's
// own reader, under the sanitizers. Input: byte 0 the reader (its place among the readable
// formats of the registry, modulo their number), byte 1 the reading flags, byte 2 the writing
// flags (bits 0-2 as for reading, bits 3-4 the integer scale), then the file. A writer that
// reports success must leave a file its own reader accepts, with the lattice size or entry
// count that was written.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzzutil.h"
#include "lut/read_lutfile.h"

namespace {
QString inputPath;
QString outputPath;
std::vector<const Formats::Format *> readers;
std::vector<const Formats::Format *> writers;

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
    for (const Formats::Format *f : Formats::all()) {
        if (f->read)
            readers.push_back(f);
        if (f->write && f->read)
            writers.push_back(f);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const Formats::Format &reader = *readers[data[0] % readers.size()];
    const uint8_t readFlags = data[1] & ~1;   // always a full read
    const uint8_t writeFlags = data[2];
    if (!FuzzUtil::writeScratch(inputPath, data + 3, size - 3))
        return 0;

    Read_LUTFile lut;
    if (!Formats::read(reader, FuzzUtil::side(reader, inputPath, readFlags), lut, false))
        return 0;
    if ((lut.lut3D && lut.lut3DSize > max3D) || (lut.lut1D && lut.lut1DSize > max1D))
        return 0;

    for (const Formats::Format *writer : writers) {
        LUTFILE_ST out = FuzzUtil::side(*writer, outputPath, writeFlags & 0x0e);
        out.scale = scales[(writeFlags >> 3) & 3];
        out.outputSize3D = lut.lut3DSize;
        QString why;
        if (!Formats::write(*writer, out, lut, &why)) {
            if (why.isEmpty())
                FuzzUtil::fault("a failed write leaves no reason", *writer, QString());
            continue;
        }
        // A writer given no table of its kind writes an empty table, which is not a LUT; a
        // format of a fixed 1D length holds that many entries, whatever it was given.
        const bool is3D = writer->is3D;
        if (is3D ? !lut.lut3D : !lut.lut1D)
            continue;
        if (writer->fixed1DLength > 0 && lut.lut1DSize != writer->fixed1DLength)
            continue;
        Read_LUTFile back;
        // The writer's own orders, so that the file reads back as it was laid out.
        if (!Formats::read(*writer, FuzzUtil::side(*writer, outputPath, 0x02), back, false))
            FuzzUtil::fault("a written file does not read back", *writer,
                            QStringLiteral("read as %1, then: %2").arg(QLatin1String(reader.name), back.errorString));
        if (is3D && back.lut3DSize != lut.lut3DSize)
            FuzzUtil::fault("a written lattice reads back at another size", *writer,
                            QStringLiteral("%1 written, %2 read").arg(lut.lut3DSize).arg(back.lut3DSize));
        if (!is3D && back.lut1DSize != lut.lut1DSize)
            FuzzUtil::fault("a written 1D table reads back with another length", *writer,
                            QStringLiteral("%1 written, %2 read").arg(lut.lut1DSize).arg(back.lut1DSize));
    }
    return 0;
}
