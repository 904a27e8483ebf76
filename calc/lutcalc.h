#ifndef LUTCALC_H
#define LUTCALC_H

#include <QObject>

#include <cstdint>

#include "lut/luttable.h"

class Read_LUTFile;

// LUT arithmetic. Stateless: every operation is static. Lut3D_Tetrahedral is the one 3D
// interpolator every 3D transform goes through.
class LutCalc : public QObject
{
    Q_OBJECT
public:
    explicit LutCalc(QObject *parent = nullptr);

    // Resampling.
    static void Lut3D_Tetrahedral(const float *in, float *out, const Read_LUTFile &lut);
    // Lut3D_Tetrahedral for `count` RGB triples at once (in and out may be the same array):
    // the lattice is looked at once, not once per colour, as images need.
    static void Lut3D_TetrahedralMany(const float *in, float *out, std::size_t count, const Read_LUTFile &lut);
    static void Lut3D_Out(const Read_LUTFile &src, Read_LUTFile &dst);
    static void Lut1D_liner(const float *in, float *out, const Read_LUTFile &lut);
    static void Lut1D_Out(const Read_LUTFile &src, Read_LUTFile &dst);

    // Auxiliary transforms. Destination tables are allocated by the caller; a size below 1
    // makes an operation do nothing. Where a quotient i / (N - 1) would divide by zero (a
    // one-point table) the position 0 is used instead.
    static void Lut3D_OnebyOne(Read_LUTFile &lut);
    static void Lut1D_OnebyOne(Read_LUTFile &lut);
    // out = second(first(x)), each source looked up over its own domain and size.
    static void Lut3D_Merge(const Read_LUTFile &first, const Read_LUTFile &second, Read_LUTFile &out);
    // dst's 1D table: src's 3D table along the grey axis.
    static void Lut3D_to_Lut1D(const Read_LUTFile &src, Read_LUTFile &dst);
    // dst's 3D table: the separable form of `size` entries of `table`, no interpolation.
    static void Lut1D_to_Lut3D(const Lut1DTable &table, int size, Read_LUTFile &dst);
    // 8-bit codes in, 8-bit codes out; lattices of 2 to 256 points.
    static void Lut3D_Tetrahedral_Int(const uint64_t *in, uint64_t *out, const Read_LUTFile &lut);

    // 16-bit device words of a chosen bit depth (1 to 16; other depths do nothing). Word
    // arrays are the caller's and hold uartWords3D / uartWords1D / lut1DSize words.
    static void Lut3D_to_Uart(uint16_t *words, int bits, const Read_LUTFile &lut);
    static void Uart_to_Lut3D(const uint16_t *words, int bits, Read_LUTFile &lut);
    static void Lut1D_to_Uart(uint16_t *words, int bits, const Read_LUTFile &lut);
    static void Uart_to_Lut1D(const uint16_t *words, int bits, Read_LUTFile &lut);
    static void Gamma_to_Uart(uint16_t *words, int bits, const Read_LUTFile &lut);
    static void Uart_to_Gamma(const uint16_t *words, int bits, Read_LUTFile &lut);
    static std::size_t uartWords3D(const Read_LUTFile &lut);
    static std::size_t uartWords1D(const Read_LUTFile &lut);

    // Image-pair sampling.
    // (Its types are declared in calc/imagepair.h.) Samples a source image and the same
    // picture graded (the target), writes every sample and the estimates for the greys 128, 32
    // and 64 to diagnosticsDir (a folder in the system's temporary location when empty), and
    // returns the estimates. At most maxPairs bracketing pairs are examined per grey (0 = all).
    static struct ImagePairResult JPG_to_lut3d(const QString &sourcePath, const QString &targetPath,
                                               const QString &diagnosticsDir = QString(), quint64 maxPairs = 0);
    // Estimates the target colour of the source codes `target` from `count` sampled colours
    // and the map they were sampled into: the exact sample when there is one, else one
    // estimate per pair of a sample at or below and one at or above the target whose
    // tetrahedron corners were all sampled. Writes a report to `report` when given. The two
    // int pointers are not read.
    static struct FindXResult FindX(const int target[3], int *unusedLow, int *unusedHigh,
                                    struct SampleRecord *const *samples, quint64 count, const class SampleMap &map,
                                    class QTextStream *report = nullptr, quint64 maxPairs = 0);
};

#endif
