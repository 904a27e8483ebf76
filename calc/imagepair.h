#ifndef IMAGEPAIR_H
#define IMAGEPAIR_H

// Colour samples taken from a pair of images of the same scene (a source and the same picture
// after a grade): which target colour each distinct 8-bit source colour became. They are held
// in a dense map over all 256^3 source codes and in a sparse sorted tree; LutCalc::FindX
// estimates the target of an unsampled source colour from sampled colours around it.

#include <QSize>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

#include "calc/lutcalc.h"

class QTextStream;

// One sampled source colour. Only the first four fields are used.
struct SampleRecord {
    qint32 red;
    qint32 green;
    qint32 blue;
    qint32 codeSum;  // red + green + blue
    qint32 spare[3];
};

// The target colour of every 8-bit source colour, indexed by the source's red, green and blue
// codes: four floats per cell, the target R, G, B (0 to 1) and a flag (1 = sampled). One
// zero-filled block of 16,777,216 cells (256 MB of address space; the system hands out only
// the pages that are written).
class SampleMap
{
public:
    static constexpr int codes = 256;

    SampleMap() = default;
    ~SampleMap() { release(); }
    SampleMap(const SampleMap &) = delete;
    SampleMap &operator=(const SampleMap &) = delete;

    bool allocate();
    void release();
    explicit operator bool() const { return cells_ != nullptr; }

    float *cell(int r, int g, int b) const
    {
        return cells_ + ((std::size_t(r) * codes + std::size_t(g)) * codes + std::size_t(b)) * 4;
    }
    bool sampled(int r, int g, int b) const { return cell(r, g, b)[3] > 0.9f; }

private:
    float *cells_ = nullptr;
};

// The list of sampled source colours: pointers to records, grown by calloc3DIndex.
class SampleList
{
public:
    quint64 size() const { return pointers_.size(); }
    SampleRecord *operator[](quint64 i) const { return pointers_[std::size_t(i)]; }
    SampleRecord *const *data() const { return pointers_.data(); }

private:
    friend bool calloc3DIndex(quint64 have, quint64 want, SampleList &list);
    std::vector<SampleRecord *> pointers_;
    std::vector<std::unique_ptr<SampleRecord[]>> blocks_;
};

// The sparse sample tree: red codes, then green codes below each, then blue codes below each,
// every level sorted ascending with unique keys. The counts always equal the sizes of their
// lists; only the functions below change the tree.
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
// Grow the list from `have` to `want` records, each new one zero-filled. False, and the list
// unchanged, when `have` is not the list's size, `want` is below it, or memory runs out.
bool calloc3DIndex(quint64 have, quint64 want, SampleList &list);
// Every sample, one line each ("x y z: red green blue sum"), then a separator line; to the
// debug log when no stream is given.
void print3DST(const DATA_3D_ST &tree, QTextStream *out = nullptr);
// qsort orders on arrays of SampleRecord pointers: compmin puts the largest codeSum first
// (nearest below a target), compmax the smallest.
int compmin(const void *a, const void *b);
int compmax(const void *a, const void *b);

// Everything sampled from one pair of images; released with the object.
struct ImagePairSamples {
    SampleMap map;
    DATA_3D_ST tree;
    SampleList list;      // sampled colours, red code slowest, blue code fastest
    quint64 count = 0;
    QSize size;           // of both images
};

// Pairs the images pixel by pixel. Both must load and have the same size, which is checked
// from their headers before any pixel is decoded. False with a reason otherwise.
bool sampleImagePair(const QString &sourcePath, const QString &targetPath, ImagePairSamples &samples, QString *error);

// One estimate: the lower and upper sampled colours bracketing the target, and the colour
// interpolated between them. `pair` numbers the (lower, upper) pairs in the order examined.
struct FindXEstimate {
    quint64 pair = 0;
    int lower[3] = {0, 0, 0};
    int upper[3] = {0, 0, 0};
    float colour[3] = {0.0f, 0.0f, 0.0f};
};

struct FindXResult {
    int target[3] = {0, 0, 0};
    bool exact = false;                    // the target itself was sampled
    float exactColour[3] = {0.0f, 0.0f, 0.0f};
    quint64 sampleCount = 0;
    quint64 lowerCount = 0;                // sampled colours at or below the target
    quint64 upperCount = 0;                // at or above
    quint64 pairs = 0;                     // pairs examined
    QVector<FindXEstimate> estimates;      // nearest brackets first
};

struct ImagePairResult {
    bool ok = false;
    QString errorString;
    quint64 sampleCount = 0;
    QString dumpPath;                      // every sample; empty when it could not be written
    QString reportPath;                    // the estimates; empty when it could not be written
    QVector<FindXResult> estimates;        // for the greys 128, 32 and 64, in that order
};

#endif
