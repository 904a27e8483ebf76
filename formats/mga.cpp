// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_Mga(QString, bool)
{
    return notSupported(QStringLiteral(".mga"));
}

bool Write_LUTFile::Write_Mga(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".mga"));
}
