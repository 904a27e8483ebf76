#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <vector>

#include "lut/lutfile_st.h"
#include "lut/read_lutfile.h"

namespace TestUtil {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// One side of a conversion, as the window or a caller of the dispatch fills it.
inline LUTFILE_ST side(int formatId, const QString &path, bool defaultOrder = true, bool dataOrderRGB = true,
                       bool tableOrderRGB = true, qint64 scale = 1)
{
    LUTFILE_ST f;
    f.path = path;
    f.formatId = formatId;
    f.defaultOrder = defaultOrder;
    f.dataOrderRGB = dataOrderRGB;
    f.tableOrderRGB = tableOrderRGB;
    f.scale = scale;
    return f;
}

// Give a fresh model a 1D table holding `entries`.
inline void set1D(Read_LUTFile &lut, const std::vector<std::array<float, 3>> &entries)
{
    lut.lut1DSize = int(entries.size());
    Read_LUTFile::Data1DCalloc(&lut.lut1D, lut.lut1DSize);
    for (int i = 0; i < lut.lut1DSize; ++i)
        for (int c = 0; c < 3; ++c)
            lut.lut1D[i][c] = entries[std::size_t(i)][std::size_t(c)];
}

}

#endif
