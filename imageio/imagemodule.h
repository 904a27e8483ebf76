#ifndef IMAGEMODULE_H
#define IMAGEMODULE_H

// The module's entry point. Its name changes whenever ImageFiles::Backend or Pixels change, so
// that a program never uses a module built for another layout of them.
#define LUTWRIGHT_IMAGE_MODULE_ENTRY lutwright_image_files_3
#define LUTWRIGHT_IMAGE_MODULE_ENTRY_NAME "lutwright_image_files_3"

#endif
