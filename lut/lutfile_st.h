#ifndef LUTFILE_ST_H
#define LUTFILE_ST_H

#include <QString>
#include <QtGlobal>

// One side of a conversion: which file, in which format, and how its samples are laid out.
struct LUTFILE_ST {
    QString path;
    qint32 formatId = 0;
    bool defaultOrder = true;   // use the format's own channel and lattice order
    bool dataOrderRGB = true;   // true: R, G, B on a line; false: B, G, R
    bool tableOrderRGB = true;  // true: blue index fastest; false: red index fastest
    qint64 scale = 1;           // writing: < 2 prints floats, otherwise integers of value * scale
    qint32 outputSize3D = 0;    // writing: lattice points per axis of the output
};

// A file format's own channel and lattice order, which a reader or writer takes when its side
// asks for the default order (true: R, G, B on a line / blue index fastest).
struct LutOrders {
    bool dataRGB = true;
    bool tableRGB = true;
};

#endif
