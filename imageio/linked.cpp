// Programs that link the image code use it directly.
#include "imageio/qtimagefiles.h"

const ImageFiles::Backend *ImageFiles::backend(QString *)
{
    return &QtImageFiles::backend();
}
