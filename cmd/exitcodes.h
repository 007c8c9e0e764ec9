#pragma once

#include <string>
#include <vector>

/// The exit codes NUV_CMD can end with: the dispatcher's own (1, 2) and the result codes its
/// commands return. The README and the man page carry this table as generated text (see
/// cmd/tools/exitcodetable.cpp), so the three cannot disagree.
struct ExitCodeRow {
    int code;
    /// What the code means here; null when the result code's own text says it.
    const char* meaning;
    /// The commands that end with it, and when.
    const char* when;
};

const std::vector<ExitCodeRow>& ExitCodeTable();
bool IsListedExitCode(int code);
/// The table as Markdown (README) and as man-page text, each ending with a newline.
std::string ExitCodeMarkdown();
std::string ExitCodeRoff();

/// document with the text between its exit-code markers replaced by the generated table
/// (Markdown between "<!-- exit-codes begin -->" and "<!-- exit-codes end -->" lines, man-page
/// text between the comment lines `.\" exit-codes begin` and `.\" exit-codes end`). False when
/// the markers are missing.
bool ReplaceExitCodeBlock(const std::string& document, std::string* updated);

/// document with the text between the markers of the generated block name replaced: markdown
/// between "<!-- NAME begin -->" and "<!-- NAME end -->" lines, or roff between the comment
/// lines `.\" NAME begin` and `.\" NAME end`, whichever the document has. False when it has
/// neither pair.
bool ReplaceGeneratedBlock(const std::string& document, const std::string& name,
                           const std::string& markdown, const std::string& roff,
                           std::string* updated);
/// Text for the man page: "-" and "\" escaped, a leading "." or "'" kept from being a request.
std::string RoffText(const std::string& text);
