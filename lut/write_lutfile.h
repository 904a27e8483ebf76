#ifndef WRITE_LUTFILE_H
#define WRITE_LUTFILE_H

#include <QObject>
#include <QString>

#include "lut/lutfile_st.h"
#include "lut/luttable.h"

class QTextStream;
class TextWriter;
class Read_LUTFile;

// Writes a Read_LUTFile in one of the writable formats. The emitters print one sample and
// decide channel order, lattice order and number form, so that the formats differ only in
// their headers, separators and loop bounds. The writing dispatch and the eleven writers
// declared here are defined under formats/, beside the format registry.
class Write_LUTFile : public QObject
{
    Q_OBJECT
public:
    explicit Write_LUTFile(QObject *parent = nullptr);

    bool dataOrderRGB = true;
    bool tableOrderRGB = true;
    bool defaultOrder = true;
    qint64 scale = 1;

    // Why the last write failed; empty after a successful one.
    QString errorString;

    bool WriteFile(LUTFILE_ST file, Read_LUTFile &lut);

    bool Write_Cube(QString path, Read_LUTFile &lut);
    bool Write_Mga(QString path, Read_LUTFile &lut);
    bool Write_1dLut_Discreet(QString path, Read_LUTFile &lut);
    bool Write_1dLut(QString path, Read_LUTFile &lut);
    bool Write_DavLut(QString path, Read_LUTFile &lut);
    bool Write_Itx(QString path, Read_LUTFile &lut);
    bool Write_Spi1D(QString path, Read_LUTFile &lut);
    bool Write_Spi3D(QString path, Read_LUTFile &lut);
    bool Write_Csv(QString path, Read_LUTFile &lut);
    bool Write_TMS1D(QString path, Read_LUTFile &lut);
    bool Write_TMS3D(QString path, Read_LUTFile &lut);

    // Emitters on a QTextStream, as a caller outside the writers uses them.
    void White3D(const Lut3DTable &table, QTextStream &stream, int i, int j, int k, qint64 scale, const QString &separator);
    void White1D(const Lut1DTable &table, QTextStream &stream, int index, qint64 scale, const QString &separator);
    void WhiteGamma(const Lut1DTable &table, QTextStream &stream, int index, qint64 scale, const QString &separator);

    // The same emitters on the writers' buffered output; they print identical text.
    void White3D(const Lut3DTable &table, TextWriter &out, int i, int j, int k, qint64 scale, const char *separator);
    void White1D(const Lut1DTable &table, TextWriter &out, int index, qint64 scale, const char *separator);
    void WhiteGamma(const Lut1DTable &table, TextWriter &out, int index, qint64 scale, const char *separator);

    // Writers' shared steps: the format's own orders when asked for, opening the output, and
    // finishing it (false with errorString when anything could not be written).
    void applyDefaultOrder(const LutOrders &own);
    bool openOutput(TextWriter &out, const QString &path);
    bool finish(TextWriter &out);
    // Every node of the lattice, one line each, counters outermost first, through White3D.
    void writeLattice(TextWriter &out, const Read_LUTFile &lut, qint64 scale, const char *separator);
    // Every entry of the 1D table, one line each, printed as lattice lines are (fixed, six
    // decimals), in the writer's channel order.
    void writeTable(TextWriter &out, const Read_LUTFile &lut, qint64 scale, const char *separator);
};

#endif
