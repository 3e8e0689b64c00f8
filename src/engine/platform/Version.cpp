#include "engine/platform/Version.h"

#ifndef TALVARIND_VERSION
#error "TALVARIND_VERSION comes from CMakeLists.txt"
#endif

std::string VersionString() { return TALVARIND_VERSION; }
