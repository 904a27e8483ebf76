#include "lut/luttable.h"

#include <cstdlib>

// calloc lets the system hand out zero pages lazily: a large table costs its floats and
// nothing more until written.
bool Lut3DTable::allocate(int n)
{
    release();
    if (n <= 0)
        return false;
    const std::size_t count = std::size_t(n) * std::size_t(n) * std::size_t(n) * 3;
    data_ = static_cast<float *>(std::calloc(count, sizeof(float)));
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
