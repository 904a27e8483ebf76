// The image code as a module that the command-line program loads on first use.
#include <QtGlobal>

#include "imageio/imagemodule.h"
#include "imageio/qtimagefiles.h"

extern "C" Q_DECL_EXPORT const ImageFiles::Backend *LUTWRIGHT_IMAGE_MODULE_ENTRY()
{
    return &QtImageFiles::backend();
}
