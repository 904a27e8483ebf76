#ifndef NUMSCAN_H
#define NUMSCAN_H

#include <QtGlobal>

// The one number scanner of every text format. Each read mirrors one sscanf conversion in the
// C locale ("%f", "%lf", "%d", "%ld"): it skips leading white space, takes the characters
// sscanf would take, and on success stores the value and moves the cursor past them. On
// failure nothing is stored. The scan never looks past `end`, and a NUL byte ends the text
// as it ends a C string. The process locale plays no part, so "0.5" is a half under any
// locale the user runs.
namespace NumScan {

struct Cursor {
    const char *p;
    const char *end;
};

bool readFloat(Cursor &c, float &value);     // %f
bool readDouble(Cursor &c, double &value);   // %lf
bool readInt(Cursor &c, int &value);         // %d
bool readLong(Cursor &c, qint64 &value);     // %ld
void skipSpace(Cursor &c);                   // a white-space directive
bool matchChar(Cursor &c, char ch);          // a literal directive: no white space is skipped
bool atEnd(const Cursor &c);                 // no character left (a NUL counts as the end)

// sscanf(text, "%f %f ... %f") with `count` conversions: returns what sscanf returns, the
// number of values converted, or -1 when the text ends before the first conversion.
// Values after the first failed conversion are left untouched.
int scanFloats(const char *text, int len, float *out, int count);
int scanDoubles(const char *text, int len, double *out, int count);
int scanInts(const char *text, int len, int *out, int count);

}

#endif
