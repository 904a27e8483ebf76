#ifndef FORMATS_FORMATENTRY_H
#define FORMATS_FORMATENTRY_H

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

// What a format's file needs to define its registry entry: the model and writer classes, and
// the adapters that turn the readers and writers that are members of those classes (the
// formats of the numeric dispatch) into the registry's function types.
namespace Formats {

template <bool (Read_LUTFile::*reader)(QString, bool)>
bool memberReader(Read_LUTFile &lut, const QString &path, bool headerOnly, const Options &)
{
    return (lut.*reader)(path, headerOnly);
}

template <bool (Write_LUTFile::*writer)(QString, Read_LUTFile &)>
bool memberWriter(Write_LUTFile &out, const QString &path, Read_LUTFile &lut, const Options &)
{
    return (out.*writer)(path, lut);
}

}

#endif
