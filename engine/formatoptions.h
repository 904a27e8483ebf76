#ifndef ENGINE_FORMATOPTIONS_H
#define ENGINE_FORMATOPTIONS_H

#include <vector>

#include "formats/registry.h"

// Which of the output options a format takes, for front ends that offer only those.
namespace Convert {

struct FormatOptions {
    std::vector<int> sizes;     // lattice points per axis it holds, 2 to 256; empty for a 1D format
    bool length = false;        // takes a 1D length (a 1D format without a fixed length)
    int fixedLength = 0;        // the entries a 1D format always holds; 0: any
    std::vector<int> bits;      // sample depths it takes; empty: none to choose
    int defaultBits = 0;
    bool headerless = false;    // has a form without its header lines (.3dl)
};

// What `format` takes, with `options` deciding between its forms (a headerless .3dl holds other
// sizes than one with a Mesh line).
FormatOptions optionsOf(const Formats::Format &format, const Formats::Options &options);

// The formats that can be written, in registry order.
std::vector<const Formats::Format *> writableFormats();
// The formats that can be read.
std::vector<const Formats::Format *> readableFormats();

}

#endif
