#ifndef CLI_IMAGEAPPLY_H
#define CLI_IMAGEAPPLY_H

#include "formats/imagefiles.h"

class Read_LUTFile;

// A LUT applied to an image, so that a user can see what it does.
namespace ImageApply {

// Every pixel's colour through the LUT's 3D table by tetrahedral interpolation (through its
// 1D table, linearly per channel, when it has no lattice), on `threads` threads; alpha is
// left alone. Values are rounded to the nearest code of the image's depth. Takes the layouts
// ImageFiles' decodeDeep gives.
void apply(ImageFiles::Pixels &image, const Read_LUTFile &lut, int threads);

}

#endif
