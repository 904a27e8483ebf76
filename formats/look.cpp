// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"

bool Read_LUTFile::Read_Look(QString, bool)
{
    return notSupported(QStringLiteral(".look"));
}
