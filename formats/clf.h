#ifndef CLF_H
#define CLF_H

#include <QPair>
#include <QString>
#include <QVector>

#include <cstddef>

#include "calc/ops.h"

class LutTransform;
class QIODevice;
class Read_LUTFile;
class TextWriter;
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

// The faithful writer: every step of a transform as a node with its parameters, so that the
// document reads back as the very same transform. Holds every transform whose steps are tables
// or process nodes of the format.
bool writeTransform(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options);
bool holdsTransform(const LutTransform &t, const Formats::Options &options);

// Text shared by the two writers.
namespace Text {
// Numbers on one line, each in the fewest digits that read back exactly.
void putNumbers(TextWriter &out, const float *v, int count);
// The scale and offset of a Matrix row that maps [min, max] onto 0 to 1, chosen among the
// nearest floats so that the domain read back from them is exactly [min, max].
void exactScaleOffset(float min, float max, float &scale, float &offset);
// A stable id: the same numbers give the same document.
QString contentId(const float *values, std::size_t count);
// The XML declaration, the ProcessList and the descriptions of the source.
void putHeader(TextWriter &out, const QString &id, const QString &name, const QVector<QPair<QString, QString>> &metadata,
               const Formats::Options &options);
}

}

#endif
