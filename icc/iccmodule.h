#ifndef ICCMODULE_H
#define ICCMODULE_H

// The ICC module's entry point. Its name changes whenever IccProfiles::Backend or the types it
// passes change, so that a program never uses a module built for another layout of them.
#define LUTWRIGHT_ICC_MODULE_ENTRY lutwright_icc_profiles_1
#define LUTWRIGHT_ICC_MODULE_ENTRY_NAME "lutwright_icc_profiles_1"

#endif
