// Progress reports of a think: the XBoard thinking line and the UCI info line.
#pragma once

#include <cstdint>

#include "engine/core/State.h"

void DumpState(TState* S, int32_t Score);
void DumpUCIState(TState* S, int32_t Score);
