#ifndef FORMATS_ICC_H
#define FORMATS_ICC_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "calc/transform.h"
#include "formats/iccprofiles.h"

class Read_LUTFile;
class Write_LUTFile;

namespace Formats {
struct Options;
}

// ICC profiles (.icc, .icm, .pf): the reader and writer of the registry entry iccFormat, the
// checks every profile passes before Little CMS sees it, and transforms between two profiles.

bool Read_Icc(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options);
bool Write_Icc(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &options);

namespace Icc {

// The largest profile read, in bytes: a 255-point 16-bit RGB lattice takes 100 MB.
constexpr qint64 maxProfileBytes = qint64(128) << 20;

// Whether `bytes` is a sound ICC profile: its header, its tag table and the counts and sizes
// of the tags that hold tables or curves, each checked against the bytes that hold it, so
// that a small file never makes anyone allocate much. False with the reason.
bool check(const QByteArray &bytes, QString *why);
// A profile file's bytes, checked; false with the reason.
bool load(const QString &path, QByteArray *bytes, QString *why);

// "perceptual", "relative", "saturation" or "absolute" (any case); false for anything else.
bool parseIntent(const QString &text, IccProfiles::Intent *intent);

// The built-in profiles a pair may name instead of a file.
QStringList builtInNames();

// The transform from RGB through profile `from` to RGB through profile `to`, each a file or a
// built-in name, as Little CMS evaluates it: one step, to be evaluated on a lattice.
bool pair(const QString &from, const QString &to, IccProfiles::Intent intent, LutTransform &out, QString *why);

}

#endif
