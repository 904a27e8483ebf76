// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_Spi1D(QString, bool)
{
    return notSupported(QStringLiteral(".spi1d"));
}

bool Write_LUTFile::Write_Spi1D(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".spi1d"));
}
