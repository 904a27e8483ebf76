// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_DavLut(QString, bool)
{
    return notSupported(QStringLiteral(".davlut"));
}

bool Write_LUTFile::Write_DavLut(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".davlut"));
}
