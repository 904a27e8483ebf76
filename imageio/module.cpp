// The image code as a module that the command-line program loads on first use.
#include "imageio/imagemodule.h"
#include "imageio/qtimagefiles.h"

extern "C" __attribute__((visibility("default"))) const ImageFiles::Backend *LUTWRIGHT_IMAGE_MODULE_ENTRY()
{
    return &QtImageFiles::backend();
}
