#include "control/module_state.h"

ModuleState moduleState;
