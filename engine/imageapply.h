#ifndef ENGINE_IMAGEAPPLY_H
#define ENGINE_IMAGEAPPLY_H

#include "formats/imagefiles.h"

class LutTransform;

// A LUT applied to an image, so that a user can see what it does.
namespace ImageApply {

// Every pixel's colour through what the LUT does (a lattice by tetrahedral interpolation, a
// 1D table linearly per channel), on `threads` threads; alpha is left alone. Values are rounded to the nearest code of the image's depth. Takes the layouts
// ImageFiles' decodeDeep gives.
void apply(ImageFiles::Pixels &image, const LutTransform &lut, int threads);

}

#endif
