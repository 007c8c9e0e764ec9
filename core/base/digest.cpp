#include "core/base/digest.h"

#include "core/base/outputmodule.h"
#include "core/base/trace.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

void CSha256::Reset() { sha256_init(&m_Context); }

void CSha256::Update(const char* data, size_t length)
{
    sha256_update(&m_Context, length, reinterpret_cast<const uint8_t*>(data));
}

bool CSha256::UpdateFromFile(const std::string& path)
{
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return false;
    std::vector<char> buffer(1 << 20);
    size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        Update(buffer.data(), read);
    return std::ferror(file.get()) == 0;
}

std::string CSha256::HexDigest() const
{
    static const char kHex[] = "0123456789abcdef";
    sha256_ctx copy = m_Context;   // taking the digest resets the context it is taken from
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&copy, sizeof digest, digest);
    std::string text;
    for (uint8_t byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

std::string NormalizedSha256(const std::string& text)
{
    if (text.size() != 2 * SHA256_DIGEST_SIZE)
        return std::string();
    std::string lower;
    for (unsigned char c : text) {
        if (!std::isxdigit(c))
            return std::string();
        lower += char(std::tolower(c));
    }
    return lower;
}

std::string FileSha256(const std::string& path)
{
    CSha256 hash;
    return hash.UpdateFromFile(path) ? hash.HexDigest() : std::string();
}

void DisplayChecksumMismatch(const std::string& what, const std::string& expected,
                             const std::string& received)
{
    NUVDisplay("\t%s does not match its checksum: expected sha256 %s, received %s\n",
               what.c_str(), expected.c_str(),
               received.empty() ? "nothing readable" : received.c_str());
    Trace("Checksum mismatch for %s: expected %s, received %s", what.c_str(), expected.c_str(),
          received.c_str());
}
