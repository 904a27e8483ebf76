// A build without Little CMS: ICC profiles are refused with the reason.
#include "formats/iccprofiles.h"

const IccProfiles::Backend *IccProfiles::backend(QString *why)
{
    if (why)
        *why = QStringLiteral("ICC profiles are not supported by this build (it was made without Little CMS)");
    return nullptr;
}
