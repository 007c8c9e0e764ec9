// Version texts: two versions (split at the first line feed) read, printed and compared; the
// order must stay consistent whatever the texts are.
#include "fuzzsupport.h"

#include "core/catalogue/version.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = fuzzsupport::Bytes(data, size);
    const size_t cut = text.find('\n');
    const CVersion first(text.substr(0, cut));
    const CVersion second(cut == std::string::npos ? std::string() : text.substr(cut + 1));
    (void)first.ToString();
    (void)second.IsZero();
    const bool greater = first > second;
    const bool less = first < second;
    const bool equal = first == second;
    if ((greater && less) || (equal && (greater || less)) || equal != (second == first) ||
        !(first == first) || first > first)
        std::abort();
    return 0;
}
