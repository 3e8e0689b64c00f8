#pragma once

#include <string>

// The version set in CMakeLists.txt's project(), as the dialogues and the board report it.
std::string VersionString();
