// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_Spi3D(QString, bool)
{
    return notSupported(QStringLiteral(".spi3d"));
}

bool Write_LUTFile::Write_Spi3D(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".spi3d"));
}
