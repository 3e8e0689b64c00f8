#include "engine/platform/Console.h"

bool ConsoleWantsUtf8() { return true; }
