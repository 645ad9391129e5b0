#include "simlink/sim_state.h"

SimState simState;
