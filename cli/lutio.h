#ifndef CLI_LUTIO_H
#define CLI_LUTIO_H

#include <QString>

#include <memory>

#include "cli/cliformats.h"
#include "lut/lutfile_st.h"

class Read_LUTFile;

// Reading a LUT file, shaping the model for the format it is written in, and writing it:
// the steps every subcommand shares.
namespace LutIO {

// One order option of a side: not given (the format's own order), or R,G,B / B,G,R.
struct Order {
    bool given = false;
    bool rgb = true;
};

// The order options of one side. Given neither, the side uses its format's own orders;
// given one, the other keeps the format's own.
struct Orders {
    Order data;
    Order table;
    bool any() const { return data.given || table.given; }
};

// "rgb" or "bgr", any case; false for anything else.
bool parseOrder(const QString &text, Order &order);

LUTFILE_ST inputSide(const QString &path, const Formats::Format &format, const Orders &orders);
LUTFILE_ST outputSide(const QString &path, const Formats::Format &format, const Orders &orders, qint64 scale);

// Read `path` into `lut`. `forced` holds the formats --in-format names, empty when it is not
// given. On failure `why` holds the reason (with its line number where there is one).
// `format` receives the format read; `options` go to the reader (the lattice a CLF chain is
// evaluated on).
bool read(const QString &path, const CliFormats::Choice &forced, const Orders &orders, Read_LUTFile &lut,
          const Formats::Format **format, QString *why, const Formats::Options &options = Formats::Options());

// What the output should hold: 3D lattice points per axis and 1D entries (0 = as the input
// has, or the default when the table must be made).
struct Shape {
    int size3D = 0;
    int length1D = 0;
};

// The model to hand to the writer of format `target`: `in` itself when it already fits, else
// a new model (owned by `made`) made by resampling or by the 3D <-> 1D transforms. A 3D table
// whose domain is not the unit cube is resampled onto it, since no writer records a domain.
// nullptr with `why` when the input holds nothing to write.
// A lattice of a size the target cannot hold goes to the size it takes instead.
Read_LUTFile *shapeFor(const Formats::Format &target, Read_LUTFile &in, const Shape &shape,
                       std::unique_ptr<Read_LUTFile> &made, QString *why,
                       const Formats::Options &options = Formats::Options());

// A 3D form of `in` (itself when it has a lattice, else its 1D table made separable with
// `size` points per axis, 33 when 0); nullptr with `why` when it holds no table.
Read_LUTFile *as3D(Read_LUTFile &in, int size, std::unique_ptr<Read_LUTFile> &made, QString *why);

// Write `lut`; a headerless .3dl that its reader would not read back as written is written
// with a warning on stderr.
bool write(const Formats::Format &format, const LUTFILE_ST &side, Read_LUTFile &lut, QString *why,
           const Formats::Options &options = Formats::Options());

}

#endif
