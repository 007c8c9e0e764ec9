// A component install script, parsed and checked without carrying out any command.
#include "fuzzsupport.h"

#include "core/operations/componentscriptparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& top = fuzzsupport::WorkFolder();
    CComponentScriptParser parser("", top + "/root");
    (void)parser.AddVariable("TESSOM_ROOT=" + top + "/root");
    (void)parser.AddVariable("INSTALL_DIR=cache/Linux/R5_Base");
    (void)parser.CheckText(fuzzsupport::Bytes(data, size));
    return 0;
}
