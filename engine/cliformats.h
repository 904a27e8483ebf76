#ifndef CLI_CLIFORMATS_H
#define CLI_CLIFORMATS_H

#include <QString>

#include <vector>

#include "formats/registry.h"

// How the command line names formats. Everything about a format comes from its registry entry;
// what is left here is how an option's value or a file name picks the entry.
namespace CliFormats {

using Choice = std::vector<const Formats::Format *>;

// What a --in-format / --to value names: one format by its name, id or extension ("spi3d",
// "13", ".cube"), or every format sharing the extension ("lut", "png"), told apart later by the
// file's content. Empty when it names none.
Choice named(const QString &name);

// The format of an input file: among `forced` (from --in-format) when given, else among the
// formats of the file's extension. nullptr with `why` when it cannot be told.
const Formats::Format *detectInput(const QString &path, const Choice &forced, QString *why);

// The format written for `choice`: the first that has a writer (".lut" is Discreet 1D); nullptr
// when none has.
const Formats::Format *writable(const Choice &choice);
// The format written to `path` when none is named: of the formats of its extension, one whose
// name the file's name holds ("grade_hald.png"), else the first that has a writer; nullptr
// when none has.
const Formats::Format *forOutput(const QString &path);
// The extension written, without the dot.
QString outputExtension(const Formats::Format &format);
// The extensions as shown to the user (".mga .m3d").
QString extensionsText(const Formats::Format &format);
// How the user names the format: "id 6", or the registry name for a format without an id.
QString idText(const Formats::Format &format);

}

#endif
