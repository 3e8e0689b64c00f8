#include "engine/core/State.h"

TState State;
