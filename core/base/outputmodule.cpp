#include "core/base/outputmodule.h"

#include "core/base/textutil.h"

namespace {

NUVOutputModule*& RegisteredModule()
{
    static NUVOutputModule* module = nullptr;   // not owned
    return module;
}

}  // namespace

void NUVOutputModule::Display(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(kBufferSize, format, args);
    va_end(args);
    DisplayText(text);
}

void SetOutputModule(NUVOutputModule* module) { RegisteredModule() = module; }

NUVOutputModule* GetOutputModule() { return RegisteredModule(); }

void NUVDisplay(const char* format, ...)
{
    NUVOutputModule* module = GetOutputModule();
    if (!module)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(NUVOutputModule::kBufferSize, format, args);
    va_end(args);
    module->Display("%s", text.c_str());
}
