#pragma once

#include <string>

inline constexpr const char* VersionNumber = "1.00";
inline constexpr const char* VersionDate = "2012/04/10";
inline constexpr const char* VersionTime = "0112";

std::string VersionString();
