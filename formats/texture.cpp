// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"

bool Read_LUTFile::Read_Texture(QString, bool)
{
    return notSupported(QStringLiteral("texture images"));
}

bool Read_LUTFile::Read_IUC(QString, bool)
{
    return notSupported(QStringLiteral("unwrapped cube images"));
}
