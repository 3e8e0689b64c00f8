#include "engine/platform/Version.h"

#include <algorithm>

std::string VersionString() {
  std::string Text = std::string(VersionNumber) + "." + VersionDate + "." + VersionTime;
  std::replace(Text.begin(), Text.end(), '/', '.');
  return Text;
}
