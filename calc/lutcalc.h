#ifndef LUTCALC_H
#define LUTCALC_H

#include <QObject>

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
    static void Lut3D_Out(const Read_LUTFile &src, Read_LUTFile &dst);
    static void Lut1D_liner(const float *in, float *out, const Read_LUTFile &lut);
    static void Lut1D_Out(const Read_LUTFile &src, Read_LUTFile &dst);

    // Auxiliary transforms.

    // Image-pair sampling.
};

#endif
