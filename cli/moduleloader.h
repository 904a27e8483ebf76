#ifndef CLI_MODULELOADER_H
#define CLI_MODULELOADER_H

#include <QString>

// The command-line program's modules (the image code, the ICC code), loaded on first use so
// that a conversion that needs neither never loads their libraries.
namespace ModuleLoader {

// The entry point `entryName` of the module `file`, found beside the program (the build tree)
// or at `installed`, relative to the program's folder (once installed). The module is never
// unloaded: what it hands out points into it for the rest of the run. nullptr with the reason,
// which names `what` ("image support") when the module is not installed.
void *entry(const char *file, const char *installed, const char *entryName, const QString &what, QString *why);

}

#endif
