#include "cmd/consoleinput.h"

bool ReadConsoleLine(FILE* input, size_t bufferSize, std::string* line)
{
    line->clear();
    const size_t limit = bufferSize > 2 ? bufferSize - 2 : 1;
    std::string raw;
    int c = 0;
    while (raw.size() < limit && (c = std::getc(input)) != EOF) {
        raw += char(c);
        if (c == '\n')
            break;
    }
    if (raw.empty())
        return false;
    *line = raw.substr(0, raw.find_first_of("\r\n"));
    return true;
}
