#ifndef NUMSCAN_H
#define NUMSCAN_H

#include <QtGlobal>

// The one number scanner of every text format. Each read mirrors one sscanf conversion in the
// C locale ("%f", "%lf", "%d", "%ld"): it skips leading white space, takes the characters
// sscanf would take, and on success stores the value and moves the cursor past them. On
// failure nothing is stored and the cursor does not move. The scan never looks past `end`,
// and a NUL byte ends the text as it ends a C string. The process locale plays no part, so
// "0.5" is a half under any locale the user runs.
//
// What sscanf takes is sometimes more than the number: "1e+x" gives 1 and leaves the cursor
// at "x", "0x." gives 0 after three characters, "nan(1)" stops before "(". Values that
// overflow become infinities and those below the smallest denormal become zeros; %d keeps
// the low 32 bits of the number clamped to 64 bits, as glibc does.
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
int scanLongs(const char *text, int len, qint64 *out, int count);   // "%ld %ld ..."
// The same, telling in `stop` where the scan ended: past the last number converted, or where
// the next would have begun. Only white space and the characters of numbers lie before it.
int scanFloats(const char *text, int len, float *out, int count, const char **stop);
int scanInts(const char *text, int len, int *out, int count, const char **stop);

// The whole text as one decimal integer, as QString::toInt reads it: white space around it
// and a sign are allowed, anything else (a fraction, a second number, hexadecimal) and a value
// beyond int make it false, with `value` untouched.
bool wholeInt(const char *text, int len, int &value);

// sscanf(text, "%d,\t%d ", &out[0], &out[1]): an integer, a comma right after it, any white
// space, an integer. Returns 2, 1, 0, or -1 for a text that is empty or only white space.
int scanIntCommaInt(const char *text, int len, int *out);

}

#endif
