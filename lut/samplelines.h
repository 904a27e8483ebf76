#ifndef SAMPLELINES_H
#define SAMPLELINES_H

#include <QByteArray>
#include <QList>

class LineReader;
class Read_LUTFile;

// Sample sections of the text formats whose lattice or table is a run of lines of three
// numbers ("%f %f %f"). Blank lines and lines that do not start with a number are passed over
// without counting; a line with fewer than three numbers keeps the values `carry` holds from
// the line before for the rest. Every sample goes through the model's store rule with the
// given range.
namespace SampleLines {

// Fill the lattice, lut3DSize^3 nodes with the counters outermost first. True when every node
// was read, or when only the last one is missing (the file ends there); otherwise false with
// the reason, and the nodes read so far stay in the table.
bool fill3D(Read_LUTFile &lut, LineReader &reader, const float *min, const float *max, float *carry);
// The same for the lut1DSize entries of the 1D table.
bool fill1D(Read_LUTFile &lut, LineReader &reader, const float *min, const float *max, float *carry);

// The line's fields, split at runs of white space.
QList<QByteArray> fields(const LineReader &reader);

}

#endif
