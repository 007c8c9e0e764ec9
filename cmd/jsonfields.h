#pragma once

#include <string>

/// The fields of the "-json" documents as the schema file (docs/nuv-json.schema.json) defines
/// them, for the README and the man page: one row per field of each object, with its type and
/// its description. Written into the documents by cmd/tools/exitcodetable.cpp, so the
/// documents cannot name other fields than the schema the tests hold the output to.
std::string JsonFieldMarkdown(const std::string& schemaText);
std::string JsonFieldRoff(const std::string& schemaText);
/// document with its "json-fields" block (see ReplaceGeneratedBlock) filled from the schema.
bool ReplaceJsonFieldBlock(const std::string& document, const std::string& schemaText,
                           std::string* updated);
