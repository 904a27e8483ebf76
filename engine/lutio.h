#ifndef ENGINE_LUTIO_H
#define ENGINE_LUTIO_H

#include <QString>
#include <QStringList>

#include <memory>

#include "calc/transform.h"
#include "engine/cliformats.h"
#include "lut/lutfile_st.h"

class Read_LUTFile;

// The conversion engine's steps, shared by every front end: reading a LUT file faithfully,
// shaping what it does for the format it is written in (written exactly where the format can
// hold it, else evaluated at the format's own nodes), measuring what that loses, and writing.
// Nothing here prints: losses and warnings come back as text for the front end to show.
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

// A number as the messages print it (six significant digits), and an input box as "0 to 4",
// or "R -0.1 to 1.2, G 0 to 1, B 0 to 1" when the channels differ.
QString general(double v);
QString domainText(const float *min, const float *max);

LUTFILE_ST inputSide(const QString &path, const Formats::Format &format, const Orders &orders);
LUTFILE_ST outputSide(const QString &path, const Formats::Format &format, const Orders &orders, qint64 scale);

// Read `path` faithfully into `lut`. `forced` holds the formats --in-format names, empty when it
// is not given. On failure `why` holds the reason (with its line number where there is one).
// `format` receives the format read.
bool read(const QString &path, const CliFormats::Choice &forced, const Orders &orders, LutTransform &lut,
          const Formats::Format **format, QString *why, const Formats::Options &options = Formats::Options());

// What the output should hold: 3D lattice points per axis and 1D entries (0 = as the input
// has, or the default when the table must be made).
struct Shape {
    int size3D = 0;
    int length1D = 0;
};

// What a conversion changed in what the LUT does, beyond what was asked for: each reason, and
// the largest difference between the source and the output (as compare measures it, where it
// lies, and what each gives there).
struct Loss {
    QStringList reasons;
    float largest = 0.0f;
    float at[3] = {0, 0, 0};
    float source[3] = {0, 0, 0};
    float output[3] = {0, 0, 0};
    bool any() const { return !reasons.isEmpty(); }
    // "values above 1 are clipped; the largest difference is 0.4 (at input 1 1 1)"
    QString text() const;
};

// A transform made ready for one format: either written exactly (`exact`), or as the model
// `baked` through the format's plain writer. `loss` says what that costs.
struct Shaped {
    LutTransform exact;
    bool isExact = false;
    std::shared_ptr<const Read_LUTFile> baked;
    Loss loss;
};

// Shape `lut` for `target`. `bake` forces a lattice (or 1D table) evaluated at the format's
// nodes even where the format could hold the transform (merge bakes its composition).
// False with `why` when nothing can be made (the input holds nothing to write, a size does not
// fit).
bool shape(const Formats::Format &target, const LutTransform &lut, const Shape &shape, const Formats::Options &options,
           Shaped &out, QString *why, bool bake = false);

// Write what shape made. A headerless .3dl that its reader would not read back as written is
// written with a warning in `warning`.
bool write(const Formats::Format &format, const LUTFILE_ST &side, const Shaped &shaped, QString *why,
           const Formats::Options &options = Formats::Options(), QString *warning = nullptr);

// The transform's tables, or a lattice of `size` points (33 when 0) over its domain made from
// it: for tools that need a lattice (image pairs, devices). nullptr with `why` when empty.
std::shared_ptr<const Read_LUTFile> asLattice(const LutTransform &lut, int size, QString *why);

}

#endif
