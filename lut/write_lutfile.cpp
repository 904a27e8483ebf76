#include "lut/write_lutfile.h"

#include <QTextStream>

#include "lut/numformat.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"

namespace {

// The emitters once, for both outputs: the QTextStream a caller hands in, and the writers'
// buffered TextWriter. Each adapter prints exactly what the stream would.
struct StreamOut {
    QTextStream &s;
    void setFixed() { s.setRealNumberNotation(QTextStream::FixedNotation); }
    void real(float v) { s << v; }
    void fixedWidth(float v, int width)
    {
        s.setFieldWidth(width);
        s << v;
        s.setFieldWidth(0);
    }
    void integer(qint64 v) { s << v; }
    void text(const QString &t) { s << t; }
};

struct WriterOut {
    TextWriter &w;
    void setFixed() { w.setFixed(true); }
    void real(float v) { w.putReal(v); }
    void fixedWidth(float v, int width) { w.putFixed(v, width); }
    void integer(qint64 v) { w.putInt(v); }
    void text(const char *t)
    {
        // The usual separator, one character, without measuring and copying it.
        if (t[0] != '\0' && t[1] == '\0')
            w.put(t[0]);
        else
            w.put(t);
    }
};

inline void channelOrder(const float *v, bool rgb, float out[3])
{
    if (rgb) {
        out[0] = v[0];
        out[1] = v[1];
        out[2] = v[2];
    } else {
        out[0] = v[2];
        out[1] = v[1];
        out[2] = v[0];
    }
}

template <typename Out, typename Sep>
void emit3D(Out out, const Lut3DTable &table, bool dataRGB, bool tableRGB, int i, int j, int k, qint64 scale, const Sep &sep)
{
    out.setFixed();
    float v[3];
    channelOrder(tableRGB ? table.node(i, j, k) : table.node(k, j, i), dataRGB, v);
    if (scale < 2) {
        for (int c = 0; c < 3; ++c) {
            out.fixedWidth(v[c], 8);
            if (c < 2)
                out.text(sep);
        }
    } else {
        for (int c = 0; c < 3; ++c) {
            out.integer(NumFormat::scaled(v[c], scale));
            out.text(sep);
        }
    }
}

template <typename Out, typename Sep>
void emit1D(Out out, const Lut1DTable &table, bool dataRGB, int index, qint64 scale, const Sep &sep, int channels)
{
    float v[3];
    channelOrder(table[index], dataRGB, v);
    if (channels == 1)
        v[0] = table[index][0];
    for (int c = 0; c < channels; ++c) {
        if (scale < 2)
            out.real(v[c]);
        else
            out.integer(NumFormat::scaled(v[c], scale));
        out.text(sep);
    }
}

}

Write_LUTFile::Write_LUTFile(QObject *parent)
    : QObject(parent)
{
}

void Write_LUTFile::White3D(const Lut3DTable &table, QTextStream &stream, int i, int j, int k, qint64 scale, const QString &separator)
{
    emit3D(StreamOut{stream}, table, dataOrderRGB, tableOrderRGB, i, j, k, scale, separator);
}

void Write_LUTFile::White1D(const Lut1DTable &table, QTextStream &stream, int index, qint64 scale, const QString &separator)
{
    emit1D(StreamOut{stream}, table, dataOrderRGB, index, scale, separator, 3);
}

void Write_LUTFile::WhiteGamma(const Lut1DTable &table, QTextStream &stream, int index, qint64 scale, const QString &separator)
{
    emit1D(StreamOut{stream}, table, dataOrderRGB, index, scale, separator, 1);
}

void Write_LUTFile::White3D(const Lut3DTable &table, TextWriter &out, int i, int j, int k, qint64 scale, const char *separator)
{
    emit3D(WriterOut{out}, table, dataOrderRGB, tableOrderRGB, i, j, k, scale, separator);
}

void Write_LUTFile::White1D(const Lut1DTable &table, TextWriter &out, int index, qint64 scale, const char *separator)
{
    emit1D(WriterOut{out}, table, dataOrderRGB, index, scale, separator, 3);
}

void Write_LUTFile::WhiteGamma(const Lut1DTable &table, TextWriter &out, int index, qint64 scale, const char *separator)
{
    emit1D(WriterOut{out}, table, dataOrderRGB, index, scale, separator, 1);
}

void Write_LUTFile::applyDefaultOrder(const LutOrders &own)
{
    if (defaultOrder) {
        dataOrderRGB = own.dataRGB;
        tableOrderRGB = own.tableRGB;
    }
}

bool Write_LUTFile::openOutput(TextWriter &out, const QString &path)
{
    if (out.open(path))
        return true;
    errorString = out.errorString();
    return false;
}

bool Write_LUTFile::finish(TextWriter &out)
{
    if (out.commit())
        return true;
    errorString = out.errorString();
    return false;
}

void Write_LUTFile::writeLattice(TextWriter &out, const Read_LUTFile &lut, qint64 scale, const char *separator)
{
    const int n = lut.allocated3DSize();
    for (int outer = 0; outer < n; ++outer)
        for (int middle = 0; middle < n; ++middle)
            for (int inner = 0; inner < n; ++inner) {
                White3D(lut.lut3D, out, outer, middle, inner, scale, separator);
                out.endLine();
            }
}

void Write_LUTFile::writeTable(TextWriter &out, const Read_LUTFile &lut, qint64 scale, const char *separator)
{
    const int n = lut.allocated1DSize();
    out.setFixed(true);
    for (int e = 0; e < n; ++e) {
        float v[3];
        channelOrder(lut.lut1D[e], dataOrderRGB, v);
        for (int c = 0; c < 3; ++c) {
            if (scale < 2)
                out.putFixed(v[c], 8);
            else
                out.putInt(NumFormat::scaled(v[c], scale));
            if (c < 2)
                out.put(separator);
        }
        out.endLine();
    }
}
