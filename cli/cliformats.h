#ifndef CLI_CLIFORMATS_H
#define CLI_CLIFORMATS_H

#include <QString>
#include <QStringList>

// What the command line knows about the formats of the library's format table: the file
// name extensions, which ids can be written, and each side's own channel and lattice order.
// Reading and writing themselves always go through Read_LUTFile::ReadFile and
// Write_LUTFile::WriteFile by id.
namespace CliFormats {

// Besides the ids 0 .. Read_LUTFile::formatCount - 1, a name can stand for a family whose
// member is told from the file itself.
enum Family {
    Unknown = -1,
    AnyLut = -2,    // ".lut": Discreet 1D when the text has a "LUT:" line, else the 1D .lut
    AnyImage = -3,  // an image: a square texture (64, 512, 4096) or an N^2 x N strip
};

// An id ("13"), an extension with or without its dot ("spi3d", ".cube"), any case.
int fromName(const QString &name);
// The format of a path from its extension; Unknown when the extension means nothing.
int fromPath(const QString &path);

// The format of an input file: `forced` (an id or a family from --in-format, or Unknown to
// look at the extension) resolved to an id by the file's content or geometry. -1 with `why`
// when it cannot be told.
int detectInput(const QString &path, int forced, QString *why);

bool canWrite(int id);
// The id a family means on the output side; writing a family with no writable member gives -1.
int writableId(int idOrFamily);
// The extension written for an id, without the dot.
QString outputExtension(int id);
// The extensions of an id as shown to the user (".mga .m3d").
QString extensionsText(int id);

// Own orders (true = R,G,B on a line / blue index fastest). The .cube writer has none; its
// output defaults to R,G,B with the red index fastest, the layout other tools expect.
void readerOrder(int id, bool &dataRGB, bool &tableRGB);
void writerOrder(int id, bool &dataRGB, bool &tableRGB);
// Integer full scale written when the user gives no --scale: formats whose readers expect
// integers get integers, the rest floats (1).
qint64 defaultScale(int id);
// Entries of a 1D table written when a 3D table becomes 1D; 0 when the format has no fixed count.
int fixed1DLength(int id);

}

#endif
