#include "calc/sampletree.h"

#include <QDebug>
#include <QString>
#include <QTextStream>

#include <algorithm>

#include "calc/tetrahedron.h"

void calloc3DST_Z(DATA_3D_Y_ST &entry)
{
    entry.zs.emplace_back();
    entry.zCount = qint32(entry.zs.size());
}

void calloc3DST_Y(DATA_3D_X_ST &entry)
{
    entry.ys.emplace_back();
    entry.yCount = qint32(entry.ys.size());
    calloc3DST_Z(entry.ys.back());
}

void calloc3DST_X(DATA_3D_ST &tree)
{
    tree.xs.emplace_back();
    tree.xCount = qint32(tree.xs.size());
    calloc3DST_Y(tree.xs.back());
}

namespace {

template <typename Entry, typename Key>
int positionOf(const std::vector<Entry> &list, Key key, int Entry::*field)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].*field == key)
            return int(i);
    }
    return -1;
}

// Moves the entry just appended at the end in front of the first other entry whose key is
// greater; returns its new position.
template <typename Entry>
int sortInLast(std::vector<Entry> &list, int key, int Entry::*field)
{
    const std::size_t last = list.size() - 1;
    std::size_t at = 0;
    while (at < last && !(list[at].*field > key))
        ++at;
    std::rotate(list.begin() + std::ptrdiff_t(at), list.begin() + std::ptrdiff_t(last), list.end());
    return int(at);
}

bool treeSample(const DATA_3D_ST &tree, const int *codes, float *colour)
{
    int xi, yi, zi;
    if (!find3DST(codes[0], codes[1], codes[2], tree, &xi, &yi, &zi))
        return false;
    const DATA_3D_Z_ST &ze = tree.xs[std::size_t(xi)].ys[std::size_t(yi)].zs[std::size_t(zi)];
    colour[0] = ze.red;
    colour[1] = ze.green;
    colour[2] = ze.blue;
    return true;
}

}

void insert3DST(int x, int y, int z, float red, float green, float blue, DATA_3D_ST &tree)
{
    int xi = positionOf(tree.xs, x, &DATA_3D_X_ST::x);
    int yi = 0;
    int zi = 0;
    if (xi < 0) {
        calloc3DST_X(tree);
        xi = sortInLast(tree.xs, x, &DATA_3D_X_ST::x);
    } else {
        DATA_3D_X_ST &xe = tree.xs[std::size_t(xi)];
        yi = positionOf(xe.ys, y, &DATA_3D_Y_ST::y);
        if (yi < 0) {
            calloc3DST_Y(xe);
            yi = sortInLast(xe.ys, y, &DATA_3D_Y_ST::y);
        } else {
            DATA_3D_Y_ST &ye = xe.ys[std::size_t(yi)];
            if (positionOf(ye.zs, z, &DATA_3D_Z_ST::z) >= 0)
                return;
            calloc3DST_Z(ye);
            zi = sortInLast(ye.zs, z, &DATA_3D_Z_ST::z);
        }
    }
    DATA_3D_X_ST &xe = tree.xs[std::size_t(xi)];
    xe.x = x;
    DATA_3D_Y_ST &ye = xe.ys[std::size_t(yi)];
    ye.y = y;
    DATA_3D_Z_ST &ze = ye.zs[std::size_t(zi)];
    ze.z = z;
    ze.red = red;
    ze.green = green;
    ze.blue = blue;
    ze.codeSum = x + y + z;
}

bool find3DST_Q(int z, const DATA_3D_ST &tree, int xi, int yi, int *zi)
{
    *zi = -1;
    if (xi < 0 || xi >= int(tree.xs.size()))
        return false;
    const DATA_3D_X_ST &xe = tree.xs[std::size_t(xi)];
    if (yi < 0 || yi >= int(xe.ys.size()))
        return false;
    *zi = positionOf(xe.ys[std::size_t(yi)].zs, z, &DATA_3D_Z_ST::z);
    return *zi >= 0;
}

bool find3DST_S(int y, int z, const DATA_3D_ST &tree, int xi, int *yi, int *zi)
{
    *yi = -1;
    *zi = -1;
    if (xi < 0 || xi >= int(tree.xs.size()))
        return false;
    *yi = positionOf(tree.xs[std::size_t(xi)].ys, y, &DATA_3D_Y_ST::y);
    if (*yi < 0)
        return false;
    return find3DST_Q(z, tree, xi, *yi, zi);
}

bool find3DST(int x, int y, int z, const DATA_3D_ST &tree, int *xi, int *yi, int *zi)
{
    *yi = -1;
    *zi = -1;
    *xi = positionOf(tree.xs, x, &DATA_3D_X_ST::x);
    if (*xi < 0)
        return false;
    return find3DST_S(y, z, tree, *xi, yi, zi);
}

void print3DST(const DATA_3D_ST &tree, QTextStream *out)
{
    QString text;
    QTextStream local(&text);
    QTextStream &s = out ? *out : local;
    for (const DATA_3D_X_ST &xe : tree.xs) {
        for (const DATA_3D_Y_ST &ye : xe.ys) {
            for (const DATA_3D_Z_ST &ze : ye.zs) {
                s << xe.x << ' ' << ye.y << ' ' << ze.z << ": " << ze.red << ' ' << ze.green << ' '
                  << ze.blue << ' ' << ze.codeSum << '\n';
            }
        }
    }
    s << "----\n";
    if (!out) {
        s.flush();
        qDebug().noquote() << text;
    }
}

bool find3DST_8p(float fr, float fg, float fb, const int low[3], const int high[3], const DATA_3D_ST &tree, float out[3])
{
    const float f[3] = {fr, fg, fb};
    return blendCorners(f, low, high, [&](const int *codes, float *colour) { return treeSample(tree, codes, colour); }, out);
}
