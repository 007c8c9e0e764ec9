#pragma once

#include <nettle/sha2.h>

#include <string>

/// SHA-256 of bytes fed in pieces, so a file can be hashed while it streams to disk.
class CSha256 {
public:
    CSha256() { Reset(); }
    void Reset();
    void Update(const char* data, size_t length);
    /// Feeds the whole file at path. False (the digest then covers what was read) when it
    /// cannot be read to its end.
    bool UpdateFromFile(const std::string& path);
    /// The digest of everything fed so far, as 64 lower-case hex digits; feeding may go on.
    std::string HexDigest() const;

private:
    sha256_ctx m_Context;
};

/// The digest's text when text is 64 hex digits (either case), lower-cased; empty otherwise.
std::string NormalizedSha256(const std::string& text);
/// The SHA-256 of the file at path as 64 lower-case hex digits; empty when it cannot be read.
std::string FileSha256(const std::string& path);

/// The one line that reports an archive (what: its name or path) whose bytes do not match the
/// digest published for it ("\t<what> does not match its checksum: expected sha256 <expected>,
/// received <received>"), through the output module and into the trace.
void DisplayChecksumMismatch(const std::string& what, const std::string& expected,
                             const std::string& received);
