#ifndef SAMPLELINES_H
#define SAMPLELINES_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include "lut/linereader.h"
#include "lut/read_lutfile.h"

// Sample sections of the text formats: a lattice (or 1D table) filled node after node from a
// run of sample lines. Every sample goes through the model's store rule with the given range.
namespace SampleLines {

// Fill the lattice, lut3DSize^3 nodes with the counters outermost first. `next(sample)` reads
// the next sample into sample[0..2] and answers false at the end of the text; `sample` keeps
// its values from one call to the next, so a short line keeps the previous line's values for
// the channels it lacks. True when every node was read, or when only the last one is missing
// (the file ends there); a lattice without any sample is refused. On failure the reason, with
// the reader's line, is recorded and the nodes read so far stay in the table.
template <typename Next>
bool fillLattice(Read_LUTFile &lut, const LineReader &reader, Next &&next, const float *min, const float *max, float *sample)
{
    const int n = lut.lut3DSize;
    const qint64 nodes = qint64(n) * n * n;
    for (int outer = 0; outer < n; ++outer) {
        for (int middle = 0; middle < n; ++middle) {
            for (int inner = 0; inner < n; ++inner) {
                if (!next(sample)) {
                    const qint64 filled = (qint64(outer) * n + middle) * n + inner;
                    if (filled == nodes - 1 && filled > 0)
                        return true;
                    return lut.failAt(reader, QStringLiteral("the lattice ends after %1 of %2 samples").arg(filled).arg(nodes));
                }
                lut.White3D(outer, middle, inner, sample[0], sample[1], sample[2], min, max);
            }
        }
    }
    return true;
}

// The same for the lut1DSize entries of the 1D table.
template <typename Next>
bool fillTable(Read_LUTFile &lut, const LineReader &reader, Next &&next, const float *min, const float *max, float *sample)
{
    const int n = lut.lut1DSize;
    for (int index = 0; index < n; ++index) {
        if (!next(sample)) {
            if (index == n - 1 && index > 0)
                return true;
            return lut.failAt(reader, QStringLiteral("the 1D table ends after %1 of %2 entries").arg(index).arg(n));
        }
        lut.White1D(index, sample[0], sample[1], sample[2], min, max);
    }
    return true;
}

// How a lattice section turns one line into a sample. Both functions answer for the line
// alone, so that parts of a file can be read on several threads.
struct LineRule {
    // The channels the line gives, stored in sample[0..2] (the others untouched); 0 (or less)
    // when the line is no sample.
    int (*read)(const char *line, int len, float *sample, const void *context);
    // Whether read() takes the line, answered without converting its numbers where that is
    // certain: for counting the samples of a part of the file.
    bool (*takes)(const char *line, int len, const void *context);
    const void *context;
};

// Lines of "%f %f %f" that give at least one number.
extern const LineRule floatLines;

// fillLattice over the non-empty lines that `rule` takes.
bool fillLatticeLines(Read_LUTFile &lut, LineReader &reader, const LineRule &rule, const float *min, const float *max,
                      float *sample);

// fillLatticeLines for a lattice after which nothing more is read. A file of more than
// partThreshold() bytes is read in as many parts as there are cores free of other work, each
// on its own thread
// into its own nodes, with the result of the serial read bit for bit: anything unusual
// (a failure or early end, a part whose first sample does not give all three channels, a
// count that does not come out) puts the nodes back to zero and reads the file serially. The
// lattice must be all zero when the fill begins. After a read in parts the reader is still
// where it was.
bool fillLatticeInParts(Read_LUTFile &lut, LineReader &reader, const LineRule &rule, const float *min,
                        const float *max, float *sample);

// Files from this size on are read in parts (tests and benchmarks lower it to compare the two
// ways of reading), and in how many: 0 for one per free core.
qint64 partThreshold();
void setPartThreshold(qint64 bytes);
void setPartCount(int parts);
// Where each part of the last lattice filled through fillLatticeLines or fillLatticeInParts
// began in the file: one entry when it was read serially.
QVector<qint64> lastPartStarts();

// The next line on which at least one number of "%f %f %f" converts; blank lines and lines
// without a leading number are passed over.
bool nextFloatLine(LineReader &reader, float *sample);

// fillLattice / fillTable over lines of "%f %f %f".
bool fill3D(Read_LUTFile &lut, LineReader &reader, const float *min, const float *max, float *carry);
// fill3D through fillLatticeInParts, for a lattice that ends the reading.
bool fill3DInParts(Read_LUTFile &lut, LineReader &reader, const float *min, const float *max, float *carry);
bool fill1D(Read_LUTFile &lut, LineReader &reader, const float *min, const float *max, float *carry);

// The line's fields, split at runs of white space.
QList<QByteArray> fields(const LineReader &reader);

}

#endif
