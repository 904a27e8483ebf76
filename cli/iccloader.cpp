// The command-line program loads Little CMS only when a command meets an ICC profile.
#include "cli/moduleloader.h"
#include "formats/iccprofiles.h"
#include "icc/iccmodule.h"

namespace {

struct Loaded {
    const IccProfiles::Backend *backend = nullptr;
    QString why;
};

Loaded load()
{
    using Entry = const IccProfiles::Backend *(*)();
    Loaded loaded;
    if (void *entry = ModuleLoader::entry(LUTWRIGHT_ICC_MODULE_FILE, LUTWRIGHT_ICC_MODULE_INSTALLED,
                                          LUTWRIGHT_ICC_MODULE_ENTRY_NAME, QStringLiteral("ICC support"), &loaded.why))
        loaded.backend = reinterpret_cast<Entry>(entry)();
    return loaded;
}

}

const IccProfiles::Backend *IccProfiles::backend(QString *why)
{
    static const Loaded loaded = load();
    if (!loaded.backend && why)
        *why = loaded.why;
    return loaded.backend;
}
