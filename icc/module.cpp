// The ICC code as a module that the command-line program loads on first use.
#include <QtGlobal>

#include "icc/iccmodule.h"
#include "icc/lcmsprofiles.h"

extern "C" Q_DECL_EXPORT const IccProfiles::Backend *LUTWRIGHT_ICC_MODULE_ENTRY()
{
    return &LcmsProfiles::backend();
}
