#include "core/nuvfunctions.h"

#include "core/outputmodule.h"
#include "core/textutil.h"

CNUVFunctions* CNUVFunctions::Instance()
{
    static CNUVFunctions instance;
    return &instance;
}

void NUVDisplay(const char* format, ...)
{
    NUVOutputModule* module = CNUVFunctions::Instance()->GetOutputModule();
    if (!module)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(NUVOutputModule::kBufferSize, format, args);
    va_end(args);
    module->Display("%s", text.c_str());
}
