#ifndef SAMPLESTORE_H
#define SAMPLESTORE_H

// Where the colours sampled from a pair of images are kept: the dense map over every 8-bit
// source colour, and the list of the colours that were sampled.

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

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

// Grow the list from `have` to `want` records, each new one zero-filled. False, and the list
// unchanged, when `have` is not the list's size, `want` is below it, or memory runs out.
bool calloc3DIndex(quint64 have, quint64 want, SampleList &list);
// qsort orders on arrays of SampleRecord pointers: compmin puts the largest codeSum first
// (nearest below a target), compmax the smallest.
int compmin(const void *a, const void *b);
int compmax(const void *a, const void *b);

#endif
