#include "lut/luttable.h"

#include <cstdint>
#include <cstdlib>

#include "lut/platform.h"

namespace {

// A lattice file lists its nodes with the red index fastest, which in memory is the slowest:
// filling a large table touches its pages in scattered order, and with 4 KiB pages every
// line costs a page-table walk and thousands of the lines a page fault. Huge pages, where
// the system gives them, take both away. Every page of a filled table is touched anyway, so
// the table costs no more memory.
void preferHugePages(void *data, std::size_t bytes)
{
    constexpr std::uintptr_t huge = std::uintptr_t(1) << 21;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(huge - 1);
    if (end > begin)
        Platform::adviseHugePages(reinterpret_cast<void *>(begin), std::size_t(end - begin));
}

}

// calloc lets the system hand out zero pages lazily: a large table costs its floats and
// nothing more until written.
bool Lut3DTable::allocate(int n)
{
    release();
    if (n <= 0)
        return false;
    const std::size_t count = std::size_t(n) * std::size_t(n) * std::size_t(n) * 3;
    data_ = static_cast<float *>(std::calloc(count, sizeof(float)));
    if (data_)
        preferHugePages(data_, count * sizeof(float));
    n_ = data_ ? n : 0;
    return data_ != nullptr;
}

void Lut3DTable::release()
{
    std::free(data_);
    data_ = nullptr;
    n_ = 0;
}

bool Lut1DTable::allocate(int n)
{
    release();
    if (n <= 0)
        return false;
    data_ = static_cast<float *>(std::calloc(std::size_t(n) * 3, sizeof(float)));
    n_ = data_ ? n : 0;
    return data_ != nullptr;
}

void Lut1DTable::release()
{
    std::free(data_);
    data_ = nullptr;
    n_ = 0;
}
