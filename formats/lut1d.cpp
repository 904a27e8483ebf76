// 1D .lut: exactly 256 entries of 8-bit values, one line each: an index, then red, green and
// blue from 0 to 255, under an optional heading.
//
//   Index	Red	Green	Blue
//   0	0	0	0	
//   1	1	1	1	
//   ...               (256 entry lines)
//
// The reader takes entries in line order (the index column is not used) and always divides
// by 255; a line with fewer numbers repeats the missing values of the line before. Lines
// starting with "#" or "Index" are skipped. The writer prints the heading, then the entry
// number, a tab, and the three values each followed by a tab, as floats or as integers of
// value x scale depending on the writer's scale.
//
// Read faithfully, the values are 8-bit codes divided by 255, nothing clamped; a table of
// values with fractions, none above 1, holds floats as written (as the writer prints them
// given no scale).

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

constexpr int entryCount = 256;


bool lut1DMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    const bool floats = !Formats::Meaning::wholeNumbers(*raw) && Formats::Meaning::largestValue(*raw) <= 1.0f;
    Formats::Meaning::divide(*raw, 1.0, floats ? 1.0 : 255.0);
    return Formats::Meaning::tables(raw, out, why);
}

}

namespace Formats {
const Faithful lut1DFaithful = {lut1DMeaning, nullptr, nullptr, nullptr, false, {true, true}};
extern const Format lut1DFormat = withFaithful({
    "lut1d", Id::Lut1D, ".lut 1D", "lut", false,
    memberReader<&Read_LUTFile::Read_1dLut>, memberWriter<&Write_LUTFile::Write_1dLut>, true,
    {true, true}, {true, true},
    255, entryCount}, &lut1DFaithful);
}

bool Read_LUTFile::Read_1dLut(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::lut1DFormat.readOrder);

    // The size is the format's, not the file's: a header read has nothing more to learn.
    if (!setSize1D(entryCount, headerOnly))
        return false;
    if (headerOnly)
        return true;

    const float lo[3] = {0.0f, 0.0f, 0.0f};
    const float hi[3] = {255.0f, 255.0f, 255.0f};
    // index, red, green, blue: a short line keeps the previous line's values.
    double v[4] = {0.0, 0.0, 0.0, 0.0};
    int i = 0;
    while (i < entryCount) {
        if (!r.nextNonEmpty()) {
            // A file one entry short is taken, its last entry left at zero.
            if (i == entryCount - 1)
                return true;
            return failAt(r, QStringLiteral("the table ends after %1 of %2 entries").arg(i).arg(entryCount));
        }
        if (r.first() == '#' || r.startsWith("Index"))
            continue;
        if (NumScan::scanDoubles(r.data(), r.size(), v, 4) < 1)
            continue;
        White1D(i, float(v[1]), float(v[2]), float(v[3]), lo, hi);
        ++i;
    }
    return true;
}

bool Write_LUTFile::Write_1dLut(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    out.put("Index\tRed\tGreen\tBlue");
    out.endLine();
    applyDefaultOrder(Formats::lut1DFormat.writeOrder);
    const int n = lut.allocated1DSize();
    for (int i = 0; i < n; ++i) {
        out.putInt(i);
        out.put('\t');
        White1D(lut.lut1D, out, i, scale, "\t");
        out.endLine();
    }
    return finish(out);
}
