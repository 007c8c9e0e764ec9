#pragma once

#include <cstdio>
#include <string>

/// Reads one answer from the console as the dialogues do: at most bufferSize - 2 bytes (the
/// rest of a longer line is left for the next read), the text ending at the first carriage
/// return or line feed. False at the end of input when nothing was read, so a dialogue can
/// stop instead of asking for ever.
bool ReadConsoleLine(FILE* input, size_t bufferSize, std::string* line);

/// Buffer sizes of the dialogues: the options menu and everything else.
constexpr size_t kMenuAnswerBuffer = 64;
constexpr size_t kAnswerBuffer = 256;
