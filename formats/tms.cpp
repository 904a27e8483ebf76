// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_TMS1D(QString, bool)
{
    return notSupported(QStringLiteral(".tms1d"));
}

bool Read_LUTFile::Read_TMS3D(QString, bool)
{
    return notSupported(QStringLiteral(".tms3d"));
}

bool Write_LUTFile::Write_TMS1D(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".tms1d"));
}

bool Write_LUTFile::Write_TMS3D(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral(".tms3d"));
}
