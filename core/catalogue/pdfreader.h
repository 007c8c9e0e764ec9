#pragma once

#include <string>
#include <string_view>

class CComponent;
class CComponentManager;

/// Reads the text of one package definition file into a component manager: every "[name]"
/// section becomes one record, filed under the holder of its name when the next section
/// starts or the text ends. Keys are exact and lower case; a value its setter refuses leaves
/// the field at its default. Malformed lines are traced and skipped; nothing stops reading
/// except an empty text.
class CPDFReader {
public:
    /// 0, or 101 for an empty text.
    static int Read(CComponentManager* manager, const std::string& text,
                    const std::string& serverPath, const std::string& extention);

private:
    static void ApplyKey(CComponent* record, std::string_view key, std::string_view value);
};
