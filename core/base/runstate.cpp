#include "core/base/runstate.h"

CRunState& CRunState::Instance()
{
    static CRunState state;
    return state;
}
