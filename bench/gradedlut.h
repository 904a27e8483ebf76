#ifndef GRADEDLUT_H
#define GRADEDLUT_H

#include <cmath>

#include "lut/read_lutfile.h"

// A graded n-point lattice: an identity bent by a curve and a little cross-talk, so that the
// samples have full six-decimal texts as real LUTs do.
inline void fillGraded(Read_LUTFile &lut, int n)
{
    lut.setSize3D(n, false);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const float x[3] = {float(r) / float(n - 1), float(g) / float(n - 1), float(b) / float(n - 1)};
                float *node = lut.lut3D.node(r, g, b);
                for (int c = 0; c < 3; ++c)
                    node[c] = std::pow(0.9f * x[c] + 0.05f * x[(c + 1) % 3] + 0.05f * x[(c + 2) % 3], 0.8f);
            }
}

#endif
