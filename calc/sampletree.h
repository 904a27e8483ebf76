#ifndef SAMPLETREE_H
#define SAMPLETREE_H

// The sparse sample tree: red codes, then green codes below each, then blue codes below each,
// every level sorted ascending with unique keys. The counts always equal the sizes of their
// lists; only the functions below change the tree.

#include <QtGlobal>

#include <vector>

class QTextStream;

struct DATA_3D_Z_ST {
    qint32 z = -1;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    qint32 codeSum = 0;
};

struct DATA_3D_Y_ST {
    std::vector<DATA_3D_Z_ST> zs;
    qint32 zCount = 0;
    qint32 y = -1;
};

struct DATA_3D_X_ST {
    std::vector<DATA_3D_Y_ST> ys;
    qint32 yCount = 0;
    qint32 x = -1;
};

struct DATA_3D_ST {
    std::vector<DATA_3D_X_ST> xs;
    qint32 xCount = 0;
};

// Adds one sample unless its key triple is present (the first sample of a colour stays).
void insert3DST(int x, int y, int z, float red, float green, float blue, DATA_3D_ST &tree);
// True when (x, y, z) is present. The outputs are the positions found at each level, -1 from
// the level where the search stopped.
bool find3DST(int x, int y, int z, const DATA_3D_ST &tree, int *xi, int *yi, int *zi);
// (y, z) below the x entry at position xi; z below the entries at positions xi, yi.
bool find3DST_S(int y, int z, const DATA_3D_ST &tree, int xi, int *yi, int *zi);
bool find3DST_Q(int z, const DATA_3D_ST &tree, int xi, int yi, int *zi);
// Tetrahedral interpolation inside the cell from the codes `low` to `high`, at the fractions
// fr, fg, fb, from the samples at the cell's corners. False, and out untouched, when one of
// the four corners it needs was not sampled.
bool find3DST_8p(float fr, float fg, float fb, const int low[3], const int high[3], const DATA_3D_ST &tree, float out[3]);
// Append one entry with key -1: an x entry holding one y entry holding one z entry; a y entry
// holding one z entry; a z entry.
void calloc3DST_X(DATA_3D_ST &tree);
void calloc3DST_Y(DATA_3D_X_ST &entry);
void calloc3DST_Z(DATA_3D_Y_ST &entry);
// Every sample, one line each ("x y z: red green blue sum"), then a separator line; to the
// debug log when no stream is given.
void print3DST(const DATA_3D_ST &tree, QTextStream *out = nullptr);

#endif
