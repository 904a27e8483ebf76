#include "calc/samplestore.h"

#include <cstdlib>
#include <new>

bool SampleMap::allocate()
{
    release();
    const std::size_t count = std::size_t(codes) * codes * codes * 4;
    cells_ = static_cast<float *>(std::calloc(count, sizeof(float)));
    return cells_ != nullptr;
}

void SampleMap::release()
{
    std::free(cells_);
    cells_ = nullptr;
}

bool calloc3DIndex(quint64 have, quint64 want, SampleList &list)
{
    if (have != list.size() || want < have)
        return false;
    if (want == have)
        return true;
    const quint64 grow = want - have;
    if (grow > quint64(std::size_t(-1) / sizeof(SampleRecord)))
        return false;
    // One zero-filled block per growth, each slot pointing into it.
    std::unique_ptr<SampleRecord[]> block(new (std::nothrow) SampleRecord[std::size_t(grow)]());
    if (!block)
        return false;
    try {
        list.pointers_.reserve(std::size_t(want));
        list.blocks_.reserve(list.blocks_.size() + 1);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (quint64 i = 0; i < grow; ++i)
        list.pointers_.push_back(&block[std::size_t(i)]);
    list.blocks_.push_back(std::move(block));
    return true;
}

int compmin(const void *a, const void *b)
{
    // Sums of three byte codes: the difference cannot overflow.
    const SampleRecord *sa = *static_cast<const SampleRecord *const *>(a);
    const SampleRecord *sb = *static_cast<const SampleRecord *const *>(b);
    return sb->codeSum - sa->codeSum;
}

int compmax(const void *a, const void *b)
{
    const SampleRecord *sa = *static_cast<const SampleRecord *const *>(a);
    const SampleRecord *sb = *static_cast<const SampleRecord *const *>(b);
    return sa->codeSum - sb->codeSum;
}
