#ifndef FORMATS_LATTICEOUT_H
#define FORMATS_LATTICEOUT_H

#include <QString>
#include <QtGlobal>

#include <cmath>

#include "formats/imagefiles.h"
#include "lut/luttable.h"
#include "lut/write_lutfile.h"

class Read_LUTFile;

// Steps shared by the writers of formats/writers.h.
namespace LatticeOut {

// False, with the reason in the writer, when the model has no lattice to write.
bool has3D(Write_LUTFile &writer, const Read_LUTFile &lut, const char *format);

// The node of file counters (i, j, k), outermost first, in the file's channel order: the node
// and channels White3D would print.
inline void fileNode(const Write_LUTFile &writer, const Lut3DTable &table, int i, int j, int k, float out[3])
{
    const float *v = writer.tableOrderRGB ? table.node(i, j, k) : table.node(k, j, i);
    for (int c = 0; c < 3; ++c)
        out[c] = v[writer.dataOrderRGB ? c : 2 - c];
}

// A value limited to 0 to 1; NaN becomes 0.
inline float unit(float v)
{
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

// The nearest of the integer codes 0 to `codes` of a value.
inline quint32 code(float v, quint32 codes)
{
    return quint32(unit(v) * float(codes) + 0.5f);
}

// `copy` receives the model's lattice with every value clamped to 0 to 1. With `codes` of 2 or
// more each value is moved to the middle of its nearest code c, (c + 0.5) / codes, so that the
// integer emitters, which truncate, print c: the nearest code, not the one below.
bool clampedCopy(Write_LUTFile &writer, const Read_LUTFile &lut, qint64 codes, Read_LUTFile &copy);

// The depth of an image LUT written to `path`: `bits` (8 or 16), or when 0 the format's usual
// one (8 for PNG, 16 for TIFF). 0 with the reason in the writer for other depths and for
// image formats that would lose data.
int imageBits(Write_LUTFile &writer, const QString &path, int bits);
// The same for a model that must hold a lattice (has3D()).
int latticeImageBits(Write_LUTFile &writer, const Read_LUTFile &lut, const QString &path, int bits, const char *format);

// An image LUT: `pixelNode(x, y, i, j, k)` gives the file counters of each pixel, whose node
// fileNode() then picks. Written at `bits` per channel, rounded to the nearest level.
class Image
{
public:
    bool create(Write_LUTFile &writer, int width, int height, int bits);
    bool save(Write_LUTFile &writer, const QString &path);

    template <typename PixelNode>
    void fill(const Write_LUTFile &writer, const Lut3DTable &table, PixelNode pixelNode)
    {
        int i = 0, j = 0, k = 0;
        float v[3];
        for (int y = 0; y < pixels_.height; ++y) {
            uchar *line = pixels_.row(y);
            for (int x = 0; x < pixels_.width; ++x) {
                pixelNode(x, y, i, j, k);
                fileNode(writer, table, i, j, k, v);
                if (deep_) {
                    quint16 *p = reinterpret_cast<quint16 *>(line) + 4 * x;
                    p[0] = quint16(code(v[0], 65535));
                    p[1] = quint16(code(v[1], 65535));
                    p[2] = quint16(code(v[2], 65535));
                    p[3] = 0xffff;
                } else {
                    reinterpret_cast<quint32 *>(line)[x] =
                        0xff000000u | code(v[0], 255) << 16 | code(v[1], 255) << 8 | code(v[2], 255);
                }
            }
        }
    }

private:
    const ImageFiles::Backend *backend_ = nullptr;
    ImageFiles::Pixels pixels_;
    bool deep_ = false;
};

}

#endif
