#ifndef LCMSPROFILES_H
#define LCMSPROFILES_H

#include "formats/iccprofiles.h"

// The ICC code of formats/iccprofiles.h, on Little CMS 2.
namespace LcmsProfiles {
const IccProfiles::Backend &backend();
}

#endif
