#include "cmd/consoleoutput.h"

#include <cstdio>

void NUVCMDOutputModule::DisplayText(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}
