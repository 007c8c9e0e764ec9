// Writes NUV_CMD's exit-code table into the documents named on the command line (the README
// and the man page), between their exit-code markers. A file is rewritten only when its table
// changed. Exit status 1 when a file cannot be read or written or has no markers.
#include "cmd/exitcodes.h"
#include "core/base/textutil.h"
#include "core/base/filewriter.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::string text;
        std::string updated;
        if (!ReadFileBytes(argv[i], &text) || !ReplaceExitCodeBlock(text, &updated)) {
            std::fprintf(stderr, "%s: no exit-code markers to fill\n", argv[i]);
            status = 1;
            continue;
        }
        if (updated == text)
            continue;
        if (!WriteFileAtomically(argv[i], updated)) {
            std::fprintf(stderr, "%s: cannot write\n", argv[i]);
            status = 1;
        }
    }
    return status;
}
