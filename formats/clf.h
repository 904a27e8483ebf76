#ifndef CLF_H
#define CLF_H

#include <QPair>
#include <QString>
#include <QVector>

#include "calc/ops.h"

class QIODevice;
class Read_LUTFile;
class Write_LUTFile;

namespace Formats {
struct Options;
}

// The Common LUT Format (.clf): the reader and writer of the registry entry clfFormat, and the
// document parser for tools and tests that evaluate a chain directly.

bool Read_Clf(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options);
bool Write_Clf(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &options);

namespace Clf {

// The process nodes are the calculation layer's operations.
using namespace Ops;

// Lattice size a chain is evaluated on when neither the caller nor a LUT3D of the chain gives one.
constexpr int defaultBakeSize = 33;

struct Document {
    Chain chain;
    QVector<QPair<QString, QString>> metadata;   // ("name", ...), ("Description", ...), ...
};

// Parse a whole document from a seekable device. Without tables (headerOnly) the nodes keep
// their sizes but no values, and cannot be applied. False with the reason, "line N: ...".
bool parse(QIODevice &device, bool headerOnly, Document &document, QString *why);
bool parseFile(const QString &path, bool headerOnly, Document &document, QString *why);

}

#endif
