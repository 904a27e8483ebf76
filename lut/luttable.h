#ifndef LUTTABLE_H
#define LUTTABLE_H

#include <cstddef>

// Storage of the LUT tables: one contiguous zero-filled block of RGB float triples.
// The 3D table keeps the lut3D[r][g][b] addressing (each node is a float[3]), but costs
// nothing beyond its floats: no pointer per node, no allocation per row.

class Lut3DTable {
public:
    class Row {
    public:
        explicit Row(float *p) : p_(p) {}
        float *operator[](int b) const { return p_ + std::size_t(b) * 3; }
    private:
        float *p_;
    };
    class Plane {
    public:
        Plane(float *p, int n) : p_(p), n_(n) {}
        Row operator[](int g) const { return Row(p_ + std::size_t(g) * std::size_t(n_) * 3); }
    private:
        float *p_;
        int n_;
    };

    Lut3DTable() = default;
    ~Lut3DTable() { release(); }
    Lut3DTable(const Lut3DTable &) = delete;
    Lut3DTable &operator=(const Lut3DTable &) = delete;

    // Zero-filled table of n points per axis; false (and no table) when memory runs out.
    bool allocate(int n);
    void release();

    Plane operator[](int r) const { return Plane(data_ + std::size_t(r) * std::size_t(n_) * std::size_t(n_) * 3, n_); }
    float *node(int r, int g, int b) const
    {
        return data_ + ((std::size_t(r) * std::size_t(n_) + std::size_t(g)) * std::size_t(n_) + std::size_t(b)) * 3;
    }
    float *data() const { return data_; }
    int size() const { return n_; }
    std::size_t floatCount() const { return std::size_t(n_) * std::size_t(n_) * std::size_t(n_) * 3; }

    explicit operator bool() const { return data_ != nullptr; }
    bool operator==(std::nullptr_t) const { return data_ == nullptr; }
    bool operator!=(std::nullptr_t) const { return data_ != nullptr; }

private:
    float *data_ = nullptr;
    int n_ = 0;
};

class Lut1DTable {
public:
    Lut1DTable() = default;
    ~Lut1DTable() { release(); }
    Lut1DTable(const Lut1DTable &) = delete;
    Lut1DTable &operator=(const Lut1DTable &) = delete;

    bool allocate(int n);
    void release();

    float *operator[](int i) const { return data_ + std::size_t(i) * 3; }
    float *data() const { return data_; }
    int size() const { return n_; }

    explicit operator bool() const { return data_ != nullptr; }
    bool operator==(std::nullptr_t) const { return data_ == nullptr; }
    bool operator!=(std::nullptr_t) const { return data_ != nullptr; }

private:
    float *data_ = nullptr;
    int n_ = 0;
};

#endif
