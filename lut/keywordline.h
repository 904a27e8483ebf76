#ifndef KEYWORDLINE_H
#define KEYWORDLINE_H

#include <QByteArray>

#include "lut/numscan.h"

class LineReader;

// A keyword line of a text format ("LUT_3D_SIZE 33", "Mesh 4 12", "# width 2 2 2") seen as the
// text left when every occurrence of the keyword is removed, which is where the readers find
// its numbers. Only the exact keyword goes: "LUT_3D_SIZE\t33" stripped of "LUT_3D_SIZE " keeps
// its keyword and gives no number. A second keyword, when given, is removed after the first.
class KeywordLine
{
public:
    KeywordLine(const LineReader &reader, const char *keyword, const char *then = nullptr);

    const QByteArray &text() const { return rest_; }
    // A cursor over the text; valid while this object lives.
    NumScan::Cursor cursor() const { return NumScan::Cursor{rest_.constData(), rest_.constData() + rest_.size()}; }

    // "%d %d ...", "%ld ...", "%f ...", "%lf ...": the numbers converted, -1 for a text that
    // ends before the first.
    int ints(int *out, int count) const { return NumScan::scanInts(rest_.constData(), rest_.size(), out, count); }
    int longs(qint64 *out, int count) const { return NumScan::scanLongs(rest_.constData(), rest_.size(), out, count); }
    int floats(float *out, int count) const { return NumScan::scanFloats(rest_.constData(), rest_.size(), out, count); }
    int doubles(double *out, int count) const { return NumScan::scanDoubles(rest_.constData(), rest_.size(), out, count); }
    // The whole text as one integer (NumScan::wholeInt).
    bool wholeInt(int &value) const { return NumScan::wholeInt(rest_.constData(), rest_.size(), value); }
    // The text with all white space removed as well ("in 35937" gives "35937").
    QByteArray squeezed() const;

private:
    QByteArray rest_;
};

#endif
