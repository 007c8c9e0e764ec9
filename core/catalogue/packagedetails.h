#pragma once

#include <string>

/// What a package remembers of its distribution, in the order of the older "package.dat".
struct CPackageDetails {
    std::string distribution;
    std::string root;
    std::string setup;
    std::string remove;
    std::string start;
    std::string stop;
    std::string tag;   // only the text form keeps one

    /// Reads a "package.dat" of the older data-stream form: big-endian, each string a 32-bit
    /// byte count and UTF-16 code units (all bits set: a null string); three strings, then up
    /// to three more while the stream has data. Strings that cannot be read stay empty; text
    /// reaches the core as Latin-1. False only when the file cannot be opened.
    bool ReadOldFormat(const std::string& path);
    /// Reads the bytes of a "package.dat" as ReadOldFormat does. True when they have exactly
    /// the layout of the older form: three to six whole strings that end where the data ends.
    /// A text file never has it (its first four bytes, read as a count, do not fit the data),
    /// while the counts of the older form may contain line-feed bytes, so this is the test to
    /// make before the bytes are split into lines.
    bool ParseOldFormat(const std::string& bytes);
};
