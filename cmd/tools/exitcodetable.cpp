// Writes NUV_CMD's exit-code table and the fields of its JSON documents (from the schema file
// named first) into the documents named after it (the README and the man page), between their
// markers. A file is rewritten only when a table changed. Exit status 1 when a file cannot be
// read or written or lacks markers.
#include "cmd/exitcodes.h"
#include "cmd/jsonfields.h"
#include "core/base/textutil.h"
#include "core/base/filewriter.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    std::string schema;
    if (argc < 2 || !ReadFileBytes(argv[1], &schema)) {
        std::fprintf(stderr, "usage: %s SCHEMA DOCUMENT...\n", argc > 0 ? argv[0] : "nuv_exitcodes");
        return 1;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        std::string text;
        std::string codes;
        std::string updated;
        if (!ReadFileBytes(argv[i], &text) || !ReplaceExitCodeBlock(text, &codes) ||
            !ReplaceJsonFieldBlock(codes, schema, &updated)) {
            std::fprintf(stderr, "%s: no exit-code or json-fields markers to fill\n", argv[i]);
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
