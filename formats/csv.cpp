// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_Csv(QString, bool)
{
    return notSupported(QStringLiteral(".csv"));
}

bool Write_LUTFile::Write_Csv(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".csv"));
}
