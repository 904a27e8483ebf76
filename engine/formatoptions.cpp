#include "engine/formatoptions.h"

#include "engine/cliformats.h"
#include "formats/imagefiles.h"
#include "lut/lutlimits.h"

namespace Convert {

FormatOptions optionsOf(const Formats::Format &format, const Formats::Options &options)
{
    FormatOptions o;
    if (format.is3D) {
        QString unused;
        for (int n = 2; n <= LutLimits::max3DSize; ++n)
            if (!format.latticeSize || format.latticeSize(n, true, options, &unused) == n)
                o.sizes.push_back(n);
    } else {
        o.fixedLength = format.fixed1DLength;
        o.length = o.fixedLength == 0;
    }
    // Image LUTs are PNG (8 bits unless asked) or TIFF (16); .3dl samples are 8 to 16 bits (12).
    const QByteArray image = ImageFiles::formatOf(QStringLiteral("x.") + CliFormats::outputExtension(format));
    if (format.id == Formats::Id::ThreeDL) {
        for (int b = 8; b <= 16; ++b)
            o.bits.push_back(b);
        o.defaultBits = 12;
        o.headerless = true;
    } else if (image == "png" || image == "tiff") {
        o.bits = {8, 16};
        o.defaultBits = image == "png" ? 8 : 16;
    }
    return o;
}

std::vector<const Formats::Format *> writableFormats()
{
    std::vector<const Formats::Format *> formats;
    for (const Formats::Format *f : Formats::all())
        if (f->write)
            formats.push_back(f);
    return formats;
}

std::vector<const Formats::Format *> readableFormats()
{
    std::vector<const Formats::Format *> formats;
    for (const Formats::Format *f : Formats::all())
        if (f->read)
            formats.push_back(f);
    return formats;
}

}
