// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_Itx(QString, bool)
{
    return notSupported(QStringLiteral(".itx"));
}

bool Write_LUTFile::Write_Itx(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".itx"));
}
