// A proxy's response header, fed line by line as the transfer engine receives it.
#include "fuzzsupport.h"

#include "core/server/responseheader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = fuzzsupport::Bytes(data, size);
    CResponseHeader header;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (header.AddLine(text.substr(start, next - start)))
            break;
        start = next;
    }
    (void)header.StatusCode();
    (void)header.Reason();
    (void)header.Value("Proxy-Authenticate");
    (void)header.Has("Content-Length");
    for (const std::string& key : header.Keys())
        (void)header.Value(key);
    return 0;
}
