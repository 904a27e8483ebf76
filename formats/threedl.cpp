// Not built yet: the reader (and writer) answer false with a reason.
#include "lut/read_lutfile.h"

bool Read_LUTFile::Read_3dl(QString, bool)
{
    return notSupported(QStringLiteral(".3dl"));
}
