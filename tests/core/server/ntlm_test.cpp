#include "core/server/ntlm.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

std::string Hex(const std::string& bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toHex().toStdString();
}

std::string Hex(const ntlm::Hash& hash)
{
    return Hex(std::string(reinterpret_cast<const char*>(hash.data()), hash.size()));
}

std::string Bytes(const char* hex) { return QByteArray::fromHex(hex).toStdString(); }

unsigned Get16(const std::string& m, size_t at)
{
    return unsigned(static_cast<unsigned char>(m[at])) |
           unsigned(static_cast<unsigned char>(m[at + 1])) << 8;
}

// Published one-way function values (LM and NT hashes of well-known passwords) and the
// published NTLMv1 response vectors for the challenge 0123456789abcdef.
TEST(NtlmHashes, MatchPublishedValues)
{
    struct Case {
        const char* password;
        const char* lm;
        const char* nt;
    };
    const Case cases[] = {
        {"", "aad3b435b51404eeaad3b435b51404ee", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        {"password", "e52cac67419a9a224a3b108f3fa6cb6d", "8846f7eaee8fb117ad06bdd830b7586c"},
        {"SecREt01", "ff3750bcc2b22412c2265b23734e0dac", "cd06ca7c7e10c99b1d33b7485a2ed808"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        EXPECT_EQ(c.lm, Hex(ntlm::LmHash(c.password)));
        EXPECT_EQ(c.nt, Hex(ntlm::NtHash(c.password)));
    }
}

TEST(NtlmHashes, LmUsesOnlyFourteenUpperCaseCharacters)
{
    EXPECT_EQ(Hex(ntlm::LmHash("PASSWORD")), Hex(ntlm::LmHash("password")));
    EXPECT_EQ(Hex(ntlm::LmHash("abcdefghijklmn")), Hex(ntlm::LmHash("abcdefghijklmnopq")));
    EXPECT_NE(Hex(ntlm::NtHash("PASSWORD")), Hex(ntlm::NtHash("password")));
}

TEST(NtlmResponses, MatchPublishedVectors)
{
    const std::string challenge = Bytes("0123456789abcdef");
    EXPECT_EQ("c337cd5cbd44fc9782a667af6d427c6de67c20c2d3e77c56",
              Hex(ntlm::Response(ntlm::LmHash("SecREt01"), challenge)));
    EXPECT_EQ("25a98c1c31e81847466b29b2df4680f39958fb8c213a9cc6",
              Hex(ntlm::Response(ntlm::NtHash("SecREt01"), challenge)));
    EXPECT_EQ("98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13",
              Hex(ntlm::Response(ntlm::LmHash("Password"), challenge)));
    EXPECT_EQ("67c43011f30298a2ad35ece64f16331c44bdbed927841f94",
              Hex(ntlm::Response(ntlm::NtHash("Password"), challenge)));
}

TEST(NtlmDesKey, SpreadsSevenBitsPerByteWithOddParity)
{
    const std::pair<const char*, const char*> cases[] = {
        {"00000000000000", "0101010101010101"},
        {"ffffffffffffff", "fefefefefefefefe"},
        {"0123456789abcd", "0191d0ad794cae9b"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        const std::string key = Bytes(in);
        const auto spread = ntlm::DesKey(reinterpret_cast<const unsigned char*>(key.data()));
        EXPECT_EQ(out, Hex(std::string(reinterpret_cast<const char*>(spread.data()), 8)));
    }
}

TEST(NtlmType1, LaysOutNamesAfterTheHeader)
{
    const std::string message = ntlm::Type1Message("pc1", "dom");
    const std::string expected = std::string("NTLMSSP\0", 8) +
                                 Bytes("01000000" "07b200a0" "03000300" "23000000"
                                       "03000300" "20000000") +
                                 "pc1DOM";
    EXPECT_EQ(Hex(expected), Hex(message));
    EXPECT_EQ(38u, message.size());
}

TEST(NtlmType1, RefusesNamesWhoseTextWouldNotFitItsBuffer)
{
    EXPECT_FALSE(ntlm::Type1Message("pc", std::string(150, 'd')).empty());
    EXPECT_TRUE(ntlm::Type1Message("pc", std::string(200, 'd')).empty());
}

TEST(NtlmType2, TakesTheChallengeFromBytes24To31)
{
    const std::string message = std::string("NTLMSSP\0", 8) +
                                Bytes("02000000" "0c000c00" "30000000" "01028100"
                                      "0123456789abcdef" "0000000000000000");
    const std::string base64 = QByteArray::fromStdString(message).toBase64().toStdString();
    std::string challenge;
    EXPECT_TRUE(ntlm::Type2Challenge(base64, &challenge));
    EXPECT_EQ("0123456789abcdef", Hex(challenge));
}

TEST(NtlmType2, BadChallengeTextGivesZeroChallenge)
{
    const std::string tooLong =
        QByteArray(600, 'x').toBase64().toStdString();   // decodes past the block
    const char* cases[] = {"", "TlRMTVNTUAACAAAA=", "!!!!!!!!", "TlRM TVNT", tooLong.c_str()};
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        std::string challenge = "junk";
        EXPECT_FALSE(ntlm::Type2Challenge(text, &challenge));
        EXPECT_EQ("0000000000000000", Hex(challenge));
    }
}

TEST(NtlmType3, PlacesNamesAndResponsesByTheirLengths)
{
    const std::string m = ntlm::Type3Message("d", "u", "h", ntlm::LmHash(""), ntlm::NtHash(""),
                                             std::string(8, '\0'));
    ASSERT_EQ(118u, m.size());
    EXPECT_EQ(Hex(std::string("NTLMSSP\0" "\x03\0\0\0", 12)), Hex(m.substr(0, 12)));
    const std::pair<size_t, unsigned> fields[] = {
        {12, 24}, {14, 24}, {16, 70},   // LM response
        {20, 24}, {22, 24}, {24, 94},   // NT response
        {28, 2},  {30, 2},  {32, 64},   // domain
        {36, 2},  {38, 2},  {40, 66},   // user
        {44, 2},  {46, 2},  {48, 68},   // workstation
        {52, 0},  {54, 0},  {56, 118},  // key exchange: empty, at the end
    };
    for (const auto& [at, value] : fields) {
        SCOPED_TRACE(at);
        EXPECT_EQ(value, Get16(m, at));
    }
    EXPECT_EQ("0182ffff", Hex(m.substr(60, 4)));
    EXPECT_EQ(Hex(std::string("D\0u\0H\0", 6)), Hex(m.substr(64, 6)));
}

TEST(NtlmType3, CarriesThePublishedResponses)
{
    const std::string m = ntlm::Type3Message("Domain", "User", "COMPUTER",
                                             ntlm::LmHash("Password"), ntlm::NtHash("Password"),
                                             Bytes("0123456789abcdef"));
    const size_t names = 2 * (6 + 4 + 8);
    ASSERT_EQ(112 + names, m.size());
    EXPECT_EQ(Hex(std::string("D\0O\0M\0A\0I\0N\0U\0s\0e\0r\0", 20)), Hex(m.substr(64, 20)));
    EXPECT_EQ("98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13", Hex(m.substr(64 + names, 24)));
    EXPECT_EQ("67c43011f30298a2ad35ece64f16331c44bdbed927841f94",
              Hex(m.substr(88 + names, 24)));
}

TEST(NtlmType3, RefusesNamesThatLeaveNoRoomForTheResponses)
{
    const ntlm::Hash zero{};
    EXPECT_FALSE(ntlm::Type3Message(std::string(100, 'd'), std::string(100, 'u'),
                                    std::string(32, 'h'), zero, zero, std::string(8, '\0'))
                     .empty());
    EXPECT_TRUE(ntlm::Type3Message(std::string(100, 'd'), std::string(100, 'u'),
                                   std::string(33, 'h'), zero, zero, std::string(8, '\0'))
                    .empty());
}

}  // namespace
