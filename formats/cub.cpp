// Truelight .cub: keyword lines give the dimensions, the lattice width and the length of an
// input table; "InputLUT" and "Cube" open the two sample sections, in either order.
//
//   # Truelight Cube v2.0
//   # iDims     3              <- input and output dimensions: any other number ends the
//                                 reading there, as "End" does
//   # oDims     3
//   # width     2 2 2          <- lattice width N, three equal numbers
//   # lutLength 2              <- entries n of the input table
//
//   # InputLUT                 <- n lines of R G B, lattice coordinates 0 to N - 1
//    0.000000 0.000000 0.000000
//    1.000000 1.000000 1.000000
//
//   # Cube                     <- N^3 lines of R G B: red runs fastest, blue slowest
//    0.000000 0.000000 0.000000
//    1.000000 0.000000 0.000000
//    ...
//   # End                      <- reading stops here; a lower-case "end" is just a comment
//
// A keyword is the second field of a line that starts with "#", so "#width" is no keyword.
// Input-table values are divided by the lattice width N. The writer gives the identity input
// table (N entries 0 to N - 1) and ends with "# end", as files of this format do.

#include <QDebug>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"
#include "formats/latticeout.h"
#include "formats/writers.h"

namespace {

// The input table holds lattice coordinates 0 to N - 1 for inputs 0 to 1: a shaper onto the
// lattice's own domain, 0 to 1.
bool cubMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    const int n = raw->allocated3DSize();
    Formats::Meaning::divide(*raw, 1.0, n > 1 ? double(n - 1) : 1.0);
    Formats::Meaning::unitDomains(*raw);
    return Formats::Meaning::tables(raw, out, why);
}

}

namespace Formats {
const Faithful cubFaithful = {cubMeaning, nullptr, nullptr, nullptr, false, {true, false}};
extern const Format cubFormat = withFaithful({
    "cub", Id::Cub, ".cub Truelight Cube", "cub", true,
    memberReader<&Read_LUTFile::Read_Cub>, Write_Cub, false,
    {true, false}, {true, false}}, &cubFaithful);
}

bool Read_LUTFile::Read_Cub(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::cubFormat.readOrder);

    float carry[3] = {0.0f, 0.0f, 0.0f};
    // Where each size was set, and whether its section has been read since.
    int widthLine = 0, lengthLine = 0;
    bool cubeRead = false, inputRead = false;
    // A section met before the sizes it needs is passed over; where, to say so.
    int earlyCubeLine = 0, earlyInputLine = 0;
    // Dimensions other than 3 end the reading; the tables read before them stand.
    int dimsLine = 0;
    QString dimsStop;
    bool ok = true;
    while (ok && r.nextNonEmpty()) {
        if (r.first() != '#') {
            if (!headerOnly)
                qDebug() << "unkown" << r.text();
            continue;
        }
        const QList<QByteArray> tokens = SampleLines::fields(r);
        if (tokens.size() < 2)
            continue;
        const QByteArray &keyword = tokens.at(1);
        if (keyword == "iDims" || keyword == "oDims") {
            if (tokens.size() >= 3 && tokens.at(2) != "3") {
                dimsLine = r.lineNumber();
                dimsStop = QStringLiteral("%1 is %2: only 3 dimensions can be read")
                               .arg(QString::fromUtf8(keyword), QString::fromUtf8(tokens.at(2)));
                break;
            }
        } else if (keyword == "width") {
            if (tokens.size() != 5)
                continue;
            int n[3] = {0, 0, 0};
            if (KeywordLine(r, "#", "width").ints(n, 3) != 3)
                ok = failAt(r, QStringLiteral("width needs three whole numbers"));
            else if (n[0] != n[1] || n[1] != n[2])
                ok = failAt(r, QStringLiteral("width %1 %2 %3: the three must be equal").arg(n[0]).arg(n[1]).arg(n[2]));
            else
                ok = setSize3D(n[0], headerOnly, r.lineNumber());
            widthLine = r.lineNumber();
            cubeRead = false;
        } else if (keyword == "lutLength") {
            int n = 0;
            if (KeywordLine(r, "#", "lutLength").ints(&n, 1) < 1) {
                ok = failAt(r, QStringLiteral("lutLength has no whole number"));
            } else if (n == 0) {
                // No input table.
                lut1D.release();
                lut1DSize = 0;
            } else {
                ok = setSize1D(n, headerOnly, r.lineNumber());
            }
            lengthLine = r.lineNumber();
            inputRead = false;
        } else if (keyword == "InputLUT") {
            if (headerOnly)
                continue;
            if (lut1DSize <= 0 || lut3DSize <= 0) {
                earlyInputLine = r.lineNumber();
                continue;
            }
            // The entries are lattice coordinates: the width brings them to the nominal range.
            for (int ch = 0; ch < 3; ++ch)
                domainMax1D[ch] = float(lut3DSize);
            ok = inputRead = SampleLines::fill1D(*this, r, domainMin1D, domainMax1D, carry);
        } else if (keyword == "Cube") {
            if (headerOnly)
                continue;
            if (lut3DSize <= 0) {
                earlyCubeLine = r.lineNumber();
                continue;
            }
            resetUpperEnds();
            ok = cubeRead = SampleLines::fill3D(*this, r, domainMin3D, domainMax3D, carry);
        } else if (keyword == "End") {
            break;
        }
    }
    resetUpperEnds();
    if (!ok)
        return false;

    // Where reading stopped early, that is the reason for whatever is missing.
    if (lut3DSize <= 0 && lut1DSize <= 0)
        return dimsLine ? failAt(dimsLine, dimsStop) : fail(QStringLiteral("no \"width\" or \"lutLength\" line"));
    // A declared table whose section never came would be handed on as zeros.
    if (headerOnly)
        return true;
    const bool missing = (lut3DSize > 0 && !cubeRead) || (lut1DSize > 0 && !inputRead);
    if (missing && dimsLine)
        return failAt(dimsLine, dimsStop);
    if (lut3DSize > 0 && !cubeRead) {
        if (earlyCubeLine)
            return failAt(earlyCubeLine, QStringLiteral("\"Cube\" needs a width line before it"));
        return failAt(widthLine, QStringLiteral("the lattice of width %1 has no \"Cube\" section").arg(lut3DSize));
    }
    if (lut1DSize > 0 && !inputRead) {
        if (earlyInputLine)
            return failAt(earlyInputLine, QStringLiteral("\"InputLUT\" needs a width and a lutLength line before it"));
        return failAt(lengthLine, QStringLiteral("the input table of length %1 has no \"InputLUT\" section").arg(lut1DSize));
    }
    return true;
}

// ---- Writing

// The input table is the identity: entry e of N is the lattice coordinate e. The lattice is
// clamped to 0 to 1, the range the reader keeps.
bool Formats::Write_Cub(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &)
{
    Read_LUTFile samples;
    if (!LatticeOut::has3D(writer, lut, ".cub") || !LatticeOut::clampedCopy(writer, lut, 1, samples))
        return false;
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    const int n = lut.lut3DSize;
    const auto line = [&out](const char *text) {
        out.put(text);
        out.endLine();
    };
    line("# Truelight Cube v2.0");
    line("# iDims     3");
    line("# oDims     3");
    out.put("# width     ");
    for (int axis = 0; axis < 3; ++axis) {
        out.putInt(n);
        out.put(axis < 2 ? " " : "");
    }
    out.endLine();
    out.put("# lutLength ");
    out.putInt(n);
    out.endLine();
    out.endLine();

    line("# InputLUT");
    for (int e = 0; e < n; ++e) {
        for (int ch = 0; ch < 3; ++ch) {
            if (ch > 0)
                out.put(' ');
            out.putFixed(float(e), 8);
        }
        out.endLine();
    }
    out.endLine();

    line("# Cube");
    writer.applyDefaultOrder(cubFormat.writeOrder);
    writer.writeLattice(out, samples, 1, " ");
    out.endLine();
    line("# end");
    return writer.finish(out);
}
