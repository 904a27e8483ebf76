// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

bool Read_LUTFile::Read_1dLut_Discreet(QString, bool)
{
    return notSupported(QStringLiteral("Discreet 1D .lut"));
}

bool Write_LUTFile::Write_1dLut_Discreet(QString, Read_LUTFile &)
{
    return notSupported(QStringLiteral("Discreet 1D .lut"));
}
