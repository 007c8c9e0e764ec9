// The proxy's NTLM challenge message, decoded and answered.
#include "fuzzsupport.h"

#include "core/server/ntlm.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string challenge;
    (void)ntlm::Type2Challenge(fuzzsupport::Bytes(data, size), &challenge);
    if (challenge.size() != 8)
        std::abort();
    const ntlm::Hash lm = ntlm::LmHash("secret");
    const ntlm::Hash nt = ntlm::NtHash("secret");
    const std::string message = ntlm::Type3Message("DOMAIN", "user", "HOST", lm, nt, challenge);
    (void)ntlm::Encode(message, ntlm::kType3TextBuffer);
    return 0;
}
