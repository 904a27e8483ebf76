#ifndef FORMATS_REGISTRY_H
#define FORMATS_REGISTRY_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

#include "lut/lutfile_st.h"

class Read_LUTFile;
class Write_LUTFile;

namespace Formats {
struct Faithful;
}

// The format registry: everything the program knows about a LUT file format stands in one
// entry, defined beside the format's reader and writer. The command line, the window, the
// tests and the fuzzers find formats here, by name, extension or content; no other place
// lists formats or compares format ids with numbers.
//
// Adding a format: a file in formats/ with its reader, writer and entry
//
//   namespace Formats {
//   extern const Format haldFormat = {"hald", Id::None, "Hald CLUT image", "png tif tiff", true,
//                                     readHald, writeHald, false, {true, true}, {true, true}};
//   }
//
// (extern, so that the constant is seen from registry.cpp), and its line in the list there.
namespace Formats {

// Ids of the numeric reading and writing dispatch (Read_LUTFile::ReadFile,
// Write_LUTFile::WriteFile). Formats added since (Hald images, the Common LUT Format) have no
// id and are reached by name only.
enum class Id : qint32 {
    None = -1,
    Cube = 0,
    Texture = 1,
    UnwrappedCube = 2,
    ThreeDL = 3,
    Mga = 4,
    Look = 5,
    Discreet1D = 6,
    Lut1D = 7,
    DavLut = 8,
    Csp = 9,
    Cub = 10,
    Itx = 11,
    Spi1D = 12,
    Spi3D = 13,
    Csv = 14,
    Tms1D = 15,
    Tms3D = 16,
};
constexpr int dispatchCount = 17;

// Settings a few formats take beyond the order flags and the integer scale of LUTFILE_ST.
struct Options {
    int bits = 0;            // sample depth (.3dl 10/12/16, images 8/16); 0: the format's default
    bool headerless = false; // .3dl: the form without the "3DMESH" / "Mesh" lines
    int bakeSize = 0;        // chains evaluated onto a lattice (CLF): points per axis; 0: default
    QString sourceName;      // the file the LUT came from, for formats that record it
    QString cdlId;           // .ccc / .cdl: the id (or place, from 1) of the correction read; empty: the first
};

// A channel order and a lattice order (true: R, G, B on a line / blue index fastest).
using Orders = LutOrders;

// The reader fills `lut` from `path` (only the sizes when headerOnly) and records the reason of
// a failure in lut.errorString. The model's order flags and defaultOrder are already set.
using ReadFn = bool (*)(Read_LUTFile &lut, const QString &path, bool headerOnly, const Options &options);
// The writer writes `lut` with the writer object's orders and scale, recording a failure in
// writer.errorString.
using WriteFn = bool (*)(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
// Whether the file's content is of this format, for formats that share an extension: 1 yes,
// 0 no (`why` then says what the file is: "a 100x100 image"), -1 cannot tell (the file cannot
// be read; `why` says so).
using ClaimFn = int (*)(const QString &path, QString *why);
// For 3D formats that hold only some lattice sizes: `size` when it fits. A size that does not
// fit gives 0, with `sizes` saying which do, when the user asked for it (`given`); otherwise
// (the input's size) the size the format takes instead.
using SizeFn = int (*)(int size, bool given, const Options &options, QString *sizes);

struct Format {
    const char *name;        // the registry key and the command line's name ("cube", "hald")
    Id id;                   // Id::None for formats outside the numeric dispatch
    const char *label;       // what the user is offered (UTF-8)
    const char *extensions;  // space separated, lower case; the first is written
    bool is3D;
    ReadFn read;
    WriteFn write = nullptr;           // nullptr: read only
    bool writeByNumber = false;        // Write_LUTFile::WriteFile reaches `write` through `id`
    Orders readOrder = {};             // the reader's own orders
    Orders writeOrder = {};            // the writer's own orders
    qint64 defaultScale = 1;           // integer full scale written when the user gives none (1: floats)
    int fixed1DLength = 0;             // entries a 1D table of this format always has; 0: any
    ClaimFn claims = nullptr;          // nullptr: taken when no format sharing its extension claims the file
    bool namedOnly = false;            // never guessed from an extension or content, only asked for by name
    // What the claim looks for, for the reason given when no format claims a file
    // ("a texture (a square of 64, 512 or 4096 pixels)").
    const char *claimText = nullptr;
    SizeFn latticeSize = nullptr;      // nullptr: a lattice of any size
    // The faithful reading and writing (formats/faithful.h); nullptr: the format is read through
    // its numbered reading only.
    const Faithful *faithful = nullptr;
};

// Every format, in id order first, then the formats without an id.
const std::vector<const Format *> &all();

const Format *byId(Id id);
const Format *byId(int id);  // nullptr outside the dispatch ids
// A registry name ("spi3d"), an extension with or without its dot (".cube"), or a dispatch id
// as text ("13"); any case. nullptr when nothing matches or the extension is shared.
const Format *byName(const QString &name);
// The formats whose extension list holds `extension` (no dot, any case), in registry order;
// formats asked for by name only are left out.
std::vector<const Format *> byExtension(const QString &extension);
// The format of an input file: by its extension, asking the claim of each candidate when the
// extension is shared. nullptr with `why` when it cannot be told.
const Format *detect(const QString &path, QString *why);
// The same among the readable `candidates`: a single one is taken as it is; of several, those whose
// name the file's name contains ("look_hald.png") are asked first, then the others in
// registry order, and a candidate without a claim is taken when none claims the file.
const Format *detect(const std::vector<const Format *> &candidates, const QString &path, QString *why);

// Reading and writing through an entry, with the side's order settings applied as the numeric
// dispatch applies them.
bool read(const Format &format, const LUTFILE_ST &side, Read_LUTFile &lut, bool headerOnly,
          const Options &options = Options());
bool write(const Format &format, const LUTFILE_ST &side, Read_LUTFile &lut, QString *why,
           const Options &options = Options());

QStringList extensionsOf(const Format &format);
QString labelOf(const Format &format);

}

#endif
