#include "core/nuvoptions.h"

CNUVOptions* CNUVOptions::Instance()
{
    static CNUVOptions instance;
    return &instance;
}
