#pragma once

#include <array>
#include <cstddef>
#include <string>

// NTLM version 1 proxy authentication, built by hand: the negotiate (type-1) message, the
// server challenge of the challenge (type-2) message and the authenticate (type-3) message
// with LM and NT responses. Messages are byte strings; multi-byte numbers are little-endian.

namespace ntlm {

using Hash = std::array<unsigned char, 16>;

/// Size of the blocks the messages are built in; nothing longer is ever sent or accepted.
constexpr size_t kType1Block = 288;
constexpr size_t kType2Block = 552;
constexpr size_t kType3Block = 576;
/// Buffers the Base64 text of a message must fit, terminator included.
constexpr size_t kType1TextBuffer = 256;
constexpr size_t kType3TextBuffer = 1024;
/// The longest proxy password the hashes are computed over.
constexpr size_t kMaxPassword = 127;

/// LM one-way function: the password upper-cased (A-Z), cut or zero-padded to 14 bytes,
/// each half a DES key that encrypts "KGS!@#$%".
Hash LmHash(const std::string& password);
/// NT one-way function: MD4 of the password with a zero byte after every 8-bit character.
Hash NtHash(const std::string& password);
/// The 24-byte response: the hash, zero-padded to 21 bytes, gives three DES keys that each
/// encrypt the 8-byte challenge.
std::string Response(const Hash& hash, const std::string& challenge);
/// Spreads 56 key bits over 8 bytes (7 per byte, high bits) with odd parity in the low bit.
std::array<unsigned char, 8> DesKey(const unsigned char* sevenBytes);

/// Negotiate message: computer name at 32, the domain upper-cased right after it.
/// Empty when the two names do not fit the block or their Base64 text its buffer.
std::string Type1Message(const std::string& computerName, const std::string& domain);
/// The 8-byte server challenge (bytes 24 to 31) of a Base64 challenge message. Text whose
/// length is not a multiple of 4, that is not Base64, or that decodes to more than the
/// block holds gives false and eight zero bytes.
bool Type2Challenge(const std::string& base64, std::string* challenge);
/// Authenticate message for the challenge. Domain and computer name are sent upper-cased,
/// the user name as entered. Empty when the names are too long for the block.
std::string Type3Message(const std::string& domain, const std::string& user,
                         const std::string& computerName, const Hash& lmHash,
                         const Hash& ntHash, const std::string& challenge);
/// Base64 text of a message; empty when it would not fit bufferSize bytes with terminator.
std::string Encode(const std::string& message, size_t bufferSize);

}  // namespace ntlm
