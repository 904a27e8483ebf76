// The command-line program loads the image code only when a command meets an image: text
// LUTs, most of its work, then never load the GUI toolkit's libraries, which would double the
// memory and start-up time of a small conversion.
#include "cli/moduleloader.h"
#include "formats/imagefiles.h"
#include "imageio/imagemodule.h"

namespace {

struct Loaded {
    const ImageFiles::Backend *backend = nullptr;
    QString why;
};

Loaded load()
{
    using Entry = const ImageFiles::Backend *(*)();
    Loaded loaded;
    if (void *entry = ModuleLoader::entry(LUTWRIGHT_IMAGE_MODULE_FILE, LUTWRIGHT_IMAGE_MODULE_INSTALLED,
                                          LUTWRIGHT_IMAGE_MODULE_ENTRY_NAME, QStringLiteral("image support"), &loaded.why))
        loaded.backend = reinterpret_cast<Entry>(entry)();
    return loaded;
}

}

const ImageFiles::Backend *ImageFiles::backend(QString *why)
{
    static const Loaded loaded = load();
    if (!loaded.backend && why)
        *why = loaded.why;
    return loaded.backend;
}
