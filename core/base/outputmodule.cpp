#include "core/base/outputmodule.h"

#include "core/base/textutil.h"

#include <cstdio>

void NUVOutputModule::Display(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(kBufferSize, format, args);
    va_end(args);
    DisplayText(text);
}

void NUVCMDOutputModule::DisplayText(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}
