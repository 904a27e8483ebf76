// .csv curve: one curve for all three channels, a line per entry: the entry index, a comma,
// a tab and an integer value. No header.
//
//   0,	0
//   1,	4
//   ...
//   1023,	1023
//
// The reader takes the entry from the index column, so lines may come in any order, and
// divides the values by a full scale it finds itself: the smallest power of two, at least 2,
// that reaches the value of the last line, minus 1 (1000 and 1023 give 1023, 1025 gives
// 2047). Values are integers: "0.5" reads as 0, "0x10" as 0, and a value that is no number
// ("nan") leaves the line with its index alone. Lines that do not start with a number, such
// as a row of column titles, are skipped. The writer prints the first channel of each entry,
// as a float or as the integer of value x scale depending on the writer's scale.
//
// Read faithfully, integer values are divided by that full scale, nothing clamped; a curve
// whose values have fractions holds floats as written.

#include <algorithm>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

// The reader left the full scale in the domain's upper end.
bool csvMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    const bool floats = !Formats::Meaning::wholeNumbers(*raw);
    Formats::Meaning::divide(*raw, 1.0, floats ? 1.0 : double(raw->domainMax1D[0]));
    Formats::Meaning::unitDomains(*raw);
    return Formats::Meaning::tables(raw, out, why);
}

}

namespace Formats {
const Faithful csvFaithful = {csvMeaning, nullptr, nullptr, nullptr, false, {true, true}};
extern const Format csvFormat = withFaithful({
    "csv", Id::Csv, ".csv log", "csv", false,
    memberReader<&Read_LUTFile::Read_Csv>, memberWriter<&Write_LUTFile::Write_Csv>, true,
    {true, true}, {true, true},
    1023}, &csvFaithful);
}

namespace {

// Beyond this the power-of-two full scale would not fit in an int.
constexpr qint64 maxValue = qint64(1) << 30;

inline bool isDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// The value as "%d" reads it, except that a decimal number in point or exponent form is read
// whole and cut to its integer part later: "51.9" gives 51 as the integer scan does, while a
// small value in exponent form ("9.5e-07", which our own float writer prints) gives 0 rather
// than the 9 in front of its point. What "%d" does not take as a number ("nan", "inf") is no
// value, and "0x10" is the 0 "%d" reads.
bool scanValue(NumScan::Cursor &c, double &value)
{
    NumScan::skipSpace(c);
    const char *p = c.p;
    if (p < c.end && (*p == '+' || *p == '-'))
        ++p;
    const bool hex = c.end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (hex) {
        int whole = 0;
        NumScan::readInt(c, whole);
        value = whole;
        return true;
    }
    const bool decimal = p < c.end && (isDigit(*p) || (*p == '.' && c.end - p >= 2 && isDigit(p[1])));
    return decimal && NumScan::readDouble(c, value);
}

// A line read as "%d,\t%d ": the index, a comma right after it, any white space and the
// value. Returns the numbers converted (0, 1 or 2).
int scanEntry(const LineReader &r, qint64 &index, double &value)
{
    NumScan::Cursor c{r.data(), r.data() + r.size()};
    if (!NumScan::readLong(c, index))
        return 0;
    if (!NumScan::matchChar(c, ',') || !scanValue(c, value))
        return 1;
    return 2;
}

// The integer part of a value already checked to be at most maxValue. Negative values, an
// overflowing "-1e999" included, all clamp to 0 in the table; they are bounded so that the
// conversion stays defined.
qint64 wholePart(double value)
{
    return qint64(std::max(value, -double(maxValue)));
}

int fullScaleOf(qint64 last)
{
    qint64 p = 2;
    while (p < last)
        p *= 2;
    return int(p - 1);
}

}

bool Read_LUTFile::Read_Csv(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::csvFormat.readOrder);

    // First pass: the entry count, the value of the last line that has one, and the index
    // range, so that a bad index is refused before anything is allocated.
    qint64 count = 0;
    qint64 last = 0;
    bool haveValue = false;
    qint64 lowIndex = 0;
    qint64 highIndex = 0;
    int lowLine = 0;
    int highLine = 0;
    while (r.nextNonEmpty()) {
        qint64 index = 0;
        double value = 0.0;
        const int got = scanEntry(r, index, value);
        if (got < 1)
            continue;
        if (count == 0 || index < lowIndex) {
            lowIndex = index;
            lowLine = r.lineNumber();
        }
        if (count == 0 || index > highIndex) {
            highIndex = index;
            highLine = r.lineNumber();
        }
        ++count;
        if (got == 2) {
            if (value > double(maxValue))
                return failAt(r, QStringLiteral("value %1 is beyond 2^30").arg(value, 0, 'g', 15));
            last = wholePart(value);
            haveValue = true;
        }
    }
    if (count == 0)
        return fail(QStringLiteral("no line holds an index and a value"));
    if (!haveValue)
        return fail(QStringLiteral("no line holds a value after its index"));
    if (lowIndex < 0)
        return failAt(lowLine, QStringLiteral("index %1 is outside 0 to %2").arg(lowIndex).arg(count - 1));
    if (highIndex >= count)
        return failAt(highLine, QStringLiteral("index %1 is outside 0 to %2").arg(highIndex).arg(count - 1));

    const float fullScale = float(fullScaleOf(last));
    for (int ch = 0; ch < 3; ++ch)
        domainMax1D[ch] = fullScale;
    if (!setSize1D(count, headerOnly))
        return false;
    // A header read keeps the full scale in the domain: it is what the file was made for.
    if (headerOnly) {
        if (count < 256)
            return fail(QStringLiteral("the curve has %1 entries, fewer than 256").arg(count));
        return true;
    }

    // Second pass: each line fills the entry its index names; a line with the index alone
    // repeats the value of the line before.
    r.rewind();
    double value = 0.0;
    while (r.nextNonEmpty()) {
        qint64 index = 0;
        if (scanEntry(r, index, value) < 1)
            continue;
        // Raw stores keep a value's fraction.
        const float v = rawStore ? float(std::max(value, -double(maxValue))) : float(wholePart(value));
        White1D(int(index), v, v, v, domainMin1D, domainMax1D);
    }
    resetUpperEnds();
    return true;
}

bool Write_LUTFile::Write_Csv(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    // The orders change nothing here: only the first channel is written.
    applyDefaultOrder(Formats::csvFormat.writeOrder);
    const int n = lut.allocated1DSize();
    for (int e = 0; e < n; ++e) {
        out.putInt(e);
        out.put(",\t");
        WhiteGamma(lut.lut1D, out, e, scale, "");
        out.endLine();
    }
    return finish(out);
}
