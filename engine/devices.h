#ifndef ENGINE_DEVICES_H
#define ENGINE_DEVICES_H

#include <QString>
#include <QStringList>

#include <vector>

#include "calc/transform.h"

// The cameras, monitors, recorders and LUT boxes that load LUTs, each a preset of what its
// maker's manual asks of a LUT file: the format, the lattice sizes, the range of the signal
// the LUT sees, the title and the file name. A conversion for a device is changed to fit it,
// and every change is said.
namespace Devices {

// Full: the LUT's 0 to 1 is the whole code range. Legal: 0 to 1 stands for the 10-bit video
// range, 64 to 940.
enum class Range { Full, Legal };

// The manual a preset follows.
struct Source {
    const char *title;
    const char *edition;   // version or date
    const char *where;     // page or section
    const char *url;
};

struct Device {
    const char *name;          // --device NAME
    const char *label;         // the devices it covers
    const char *format;        // registry name of the format written
    int sizes[4];              // lattice sizes the device takes, ascending, 0-ended
    int defaultSize;           // written when the LUT has no lattice
    Range range;
    bool titled;               // the file carries the LUT's title (printable ASCII, no quotes)
    int titleLength;           // characters of the title, 0: any
    bool plainName;            // a file name of ASCII letters, digits, '-' and '_' only
    int nameLength;            // characters of the name before its extension, 0: any
    const char *extension;     // written as the device lists it
    Source source;
};

const std::vector<Device> &all();
// By name, any case; nullptr when none.
const Device *byName(const QString &name);

// The device's sizes, "17 or 33"; its range, "full" or "legal".
QString sizesText(const Device &d);
QString rangeText(Range r);
// "full" or "legal", any case.
bool parseRange(const QString &text, Range *range);

// What a conversion for the device writes, and each change it took to fit.
struct Plan {
    int size = 0;
    QString path;
    QString title;
    QStringList changes;
};

// The plan for writing a LUT to `outPath`: `askedSize` from --size (0: none), `sourceSize` the
// LUT's own lattice (0: none), `range` the range the LUT was made for, `title` what the LUT
// calls itself.
Plan plan(const Device &d, const QString &outPath, int askedSize, int sourceSize, Range range, const QString &title);

// The LUT re-expressed for a device of another range: legal-range input scaled to full before
// it, its full-range output scaled to legal after it (or the reverse).
LutTransform toRange(const LutTransform &lut, Range from, Range to);

}

#endif
