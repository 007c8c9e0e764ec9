#include "core/server/ntlm.h"

#include "core/base/textutil.h"

#include <QByteArray>

#include <nettle/des.h>
#include <nettle/md4.h>

namespace ntlm {

namespace {

const char kSignature[] = "NTLMSSP";   // with its terminating zero: 8 bytes
constexpr size_t kType3Header = 64;

void Put16(std::string& block, size_t at, unsigned value)
{
    block[at] = char(value & 0xFF);
    block[at + 1] = char((value >> 8) & 0xFF);
}

void Put32(std::string& block, size_t at, unsigned long value)
{
    Put16(block, at, unsigned(value & 0xFFFF));
    Put16(block, at + 2, unsigned((value >> 16) & 0xFFFF));
}

/// Length, maximum length and offset of a piece of the message.
void PutBuffer(std::string& block, size_t at, size_t length, size_t offset)
{
    Put16(block, at, unsigned(length));
    Put16(block, at + 2, unsigned(length));
    Put32(block, at + 4, offset);
}

/// Each 8-bit character followed by a zero byte.
std::string Wide(const std::string& text)
{
    std::string wide;
    wide.reserve(text.size() * 2);
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

void DesEncrypt(const unsigned char* sevenBytes, const unsigned char* in, unsigned char* out)
{
    const std::array<unsigned char, 8> key = DesKey(sevenBytes);
    des_ctx ctx;
    // Weak keys are legitimate here: the empty password yields one.
    (void)des_set_key(&ctx, key.data());
    des_encrypt(&ctx, DES_BLOCK_SIZE, out, in);
}

}  // namespace

std::array<unsigned char, 8> DesKey(const unsigned char* in)
{
    std::array<unsigned char, 8> key{};
    key[0] = in[0];
    for (int i = 1; i < 7; ++i)
        key[i] = static_cast<unsigned char>((in[i - 1] << (8 - i)) | (in[i] >> i));
    key[7] = static_cast<unsigned char>(in[6] << 1);
    for (unsigned char& byte : key) {
        byte &= 0xFE;
        int ones = 0;
        for (int bit = 1; bit < 8; ++bit)
            ones += (byte >> bit) & 1;
        if (ones % 2 == 0)
            byte |= 1;
    }
    return key;
}

Hash LmHash(const std::string& password)
{
    unsigned char key[14] = {};
    const std::string upper = ToUpper(password.substr(0, 14));
    std::copy(upper.begin(), upper.end(), key);
    static const unsigned char kMagic[8] = {'K', 'G', 'S', '!', '@', '#', '$', '%'};
    Hash hash{};
    DesEncrypt(key, kMagic, hash.data());
    DesEncrypt(key + 7, kMagic, hash.data() + 8);
    return hash;
}

Hash NtHash(const std::string& password)
{
    const std::string wide = Wide(password);
    md4_ctx ctx;
    md4_init(&ctx);
    md4_update(&ctx, wide.size(), reinterpret_cast<const uint8_t*>(wide.data()));
    Hash hash{};
    md4_digest(&ctx, hash.size(), hash.data());
    return hash;
}

std::string Response(const Hash& hash, const std::string& challenge)
{
    unsigned char keys[21] = {};
    std::copy(hash.begin(), hash.end(), keys);
    unsigned char data[8] = {};
    std::copy_n(challenge.begin(), std::min<size_t>(8, challenge.size()), data);
    unsigned char out[24];
    for (int i = 0; i < 3; ++i)
        DesEncrypt(keys + 7 * i, data, out + 8 * i);
    return std::string(reinterpret_cast<const char*>(out), sizeof out);
}

std::string Type1Message(const std::string& computerName, const std::string& domain)
{
    const size_t length = 32 + computerName.size() + domain.size();
    if (length > kType1Block)
        return std::string();
    std::string block(length, '\0');
    block.replace(0, 8, kSignature, 8);
    Put32(block, 8, 1);
    Put32(block, 12, 0xA000B207UL);
    PutBuffer(block, 16, domain.size(), 32 + computerName.size());
    PutBuffer(block, 24, computerName.size(), 32);
    block.replace(32, computerName.size(), computerName);
    block.replace(32 + computerName.size(), domain.size(), ToUpper(domain));
    if (Encode(block, kType1TextBuffer).empty())
        return std::string();
    return block;
}

bool Type2Challenge(const std::string& base64, std::string* challenge)
{
    challenge->assign(8, '\0');
    if (base64.empty() || base64.size() % 4 != 0)
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(
        QByteArray::fromRawData(base64.data(), qsizetype(base64.size())),
        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() > qsizetype(kType2Block))
        return false;
    if (decoded.decoded.size() > 24)
        challenge->replace(0, size_t(std::min<qsizetype>(8, decoded.decoded.size() - 24)),
                           decoded.decoded.constData() + 24,
                           size_t(std::min<qsizetype>(8, decoded.decoded.size() - 24)));
    return true;
}

std::string Type3Message(const std::string& domain, const std::string& user,
                         const std::string& computerName, const Hash& lmHash,
                         const Hash& ntHash, const std::string& challenge)
{
    const size_t d = domain.size(), u = user.size(), h = computerName.size();
    const size_t names = 2 * (d + u + h);
    const size_t length = kType3Header + names + 48;
    if (length > kType3Block)
        return std::string();   // the responses would not fit: no half-filled message is sent
    std::string block(length, '\0');
    block.replace(0, 8, kSignature, 8);
    Put32(block, 8, 3);
    PutBuffer(block, 12, 24, kType3Header + names);
    PutBuffer(block, 20, 24, kType3Header + names + 24);
    PutBuffer(block, 28, 2 * d, kType3Header);
    PutBuffer(block, 36, 2 * u, kType3Header + 2 * d);
    PutBuffer(block, 44, 2 * h, kType3Header + 2 * (d + u));
    PutBuffer(block, 52, 0, length);
    Put32(block, 60, 0xFFFF8201UL);
    const std::string payload = Wide(ToUpper(domain)) + Wide(user) + Wide(ToUpper(computerName)) +
                                Response(lmHash, challenge) + Response(ntHash, challenge);
    block.replace(kType3Header, payload.size(), payload);
    return block;
}

std::string Encode(const std::string& message, size_t bufferSize)
{
    const size_t textLength = (message.size() + 2) / 3 * 4;
    if (textLength + 1 > bufferSize)
        return std::string();
    return QByteArray(message.data(), qsizetype(message.size())).toBase64().toStdString();
}

}  // namespace ntlm
