#ifndef QTIMAGEFILES_H
#define QTIMAGEFILES_H

#include "formats/imagefiles.h"

// Image files through the toolkit's image readers and writers (and our own PNG encoder).
namespace QtImageFiles {
const ImageFiles::Backend &backend();
}

#endif
