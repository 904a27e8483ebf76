#ifndef FORMATS_FAITHFUL_H
#define FORMATS_FAITHFUL_H

#include <QString>

#include <memory>

#include "calc/transform.h"
#include "formats/registry.h"

class Read_LUTFile;
class Write_LUTFile;

// The faithful reading and writing of a format: what its file does, as the format's own
// documentation and the tools that write it define it, and how a transform is written back.
//
// A format's faithful reading shares the parse of its numbered reader: the reader runs on a
// model with raw stores (Read_LUTFile::rawStore), so the tables hold the numbers as written
// and the domains what the file stated; the format's `meaning` then turns that into a
// transform (integers divided by their full-scale code, domains and shapers as the format
// defines them). Formats whose file is a chain of operations read it themselves (`read`).
namespace Formats {

struct Faithful {
    // From the raw parse to the transform; the model is the transform's to keep.
    bool (*meaning)(std::shared_ptr<Read_LUTFile> raw, const Options &options, LutTransform &out, QString *why) = nullptr;
    // The whole faithful reading, instead of meaning.
    bool (*read)(const QString &path, const LUTFILE_ST &side, const Options &options, LutTransform &out,
                 QString *why) = nullptr;
    // Write a transform that `holds` takes, exactly, with the writer object's orders; failures
    // in writer.errorString.
    bool (*write)(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Options &options) = nullptr;
    bool (*holds)(const LutTransform &t, const Options &options) = nullptr;
    // Whether the format's plain writer keeps values outside 0 to 1 (floats); a model baked
    // for a format that does not is clipped to 0 to 1 first.
    bool floats = false;
    // The channel and lattice order of the format's files, as its documentation gives them,
    // for a side that asks for the format's own order.
    Orders readOrder = {true, true};
    // What the format holds when it holds nothing but what `holds` takes ("one ASC CDL"): a
    // transform it does not hold is refused, never baked into it. nullptr for formats of tables.
    const char *holdsOnly = nullptr;
};

// The entry with its faithful reading and writing: `Format f = withFaithful({...}, &x)`.
inline Format withFaithful(Format f, const Faithful *faithful)
{
    f.faithful = faithful;
    return f;
}

// Read `path` faithfully. `side` carries the orders as for the numbered path (defaultOrder:
// the format's own orders, here those of its faithful reading). False with the reason.
bool readTransform(const Format &format, const LUTFILE_ST &side, const Options &options, LutTransform &out,
                   QString *why);

// The format's numbered reader run on a raw-store model, as readTransform runs it before the
// meaning: for a faithful `read` that needs more than the model (the file's name). False with
// the reason.
bool readRaw(const Format &format, const LUTFILE_ST &side, const Options &options,
             std::shared_ptr<Read_LUTFile> &model, QString *why);

// Helpers for meanings.
namespace Meaning {
// Divide every value of the lattice by scale3D and of the 1D table by scale1D (1: unchanged).
void divide(Read_LUTFile &model, double scale3D, double scale1D);
// Put both domains back to 0 to 1 (the domain arrays held the range of the raw numbers).
void unitDomains(Read_LUTFile &model);
// The transform of the model's tables, its metadata handed on.
bool tables(std::shared_ptr<Read_LUTFile> model, LutTransform &out, QString *why);
// The meaning of a format whose numbers are floats as read over the domains the reader set.
bool asRead(std::shared_ptr<Read_LUTFile> raw, const Options &options, LutTransform &out, QString *why);
// The transform of the model's tables (over 0 to 1) behind the pre-LUT the reader kept
// (preLutIn / preLutOut), a curve through its points (`smooth`: as Ops::Curve). A pre-LUT
// that maps each channel's inputs linearly onto 0 to 1 becomes the table's domain; one of
// evenly spaced inputs, as many in every channel and linear between them, before a lattice
// alone becomes its shaper; any other a Curve node before the tables.
bool withPreLut(std::shared_ptr<Read_LUTFile> model, bool smooth, LutTransform &out, QString *why);
// The meaning of a format of integer codes whose full scale the reader left in the upper end
// of the lattice's domain (.m3d "out", images): the codes divided by it, over 0 to 1.
bool codesOverDomain(std::shared_ptr<Read_LUTFile> raw, const Options &options, LutTransform &out, QString *why);
// Whether every value of the model's tables is a whole number.
bool wholeNumbers(const Read_LUTFile &model);
// The largest value of the model's tables (0 when all are below).
float largestValue(const Read_LUTFile &model);

// The numbered reading of a format outside the dispatch, from its faithful transform: the
// transform's tables as they are when it is one lattice or one 1D table over 0 to 1, else
// the transform evaluated at every node of a lattice over the unit cube (options.bakeSize
// points, else the larger of 33 and its own lattice; the "baked" metadata entry says so).
// Only sizes when headerOnly. False with the reason in lut.errorString.
bool fillModel(const LutTransform &t, Read_LUTFile &lut, bool headerOnly, const Options &options);
}

// Holds-functions shared by the float formats: a transform of nothing but one lattice over
// 0 to 1 (values of any size), and nothing but one 1D table.
bool holdsUnitLattice(const LutTransform &t, const Options &options);
bool unitDomain(const float *min, const float *max);

}

#endif
