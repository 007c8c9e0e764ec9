#include "portability/platformroot.h"

#include "portability/systemenv.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

const char kVariable[] = "TESSOM_ROOT";

// Copies at most size - 1 bytes and always terminates: a value that fills the buffer is cut.
void CopyTerminated(const std::string& value, char* buffer, size_t size)
{
    const size_t length = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
}

std::string Unquote(const std::string& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// One line of the environment file: NAME=VALUE, blanks around the line ignored, "#" starts
// a comment line. True and the value when the line sets name.
bool ValueOfLine(std::string line, const std::string& name, std::string* value)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#')
        return false;
    const size_t last = line.find_last_not_of(" \t");
    line = line.substr(first, last - first + 1);
    const size_t equals = line.find('=');
    if (equals == std::string::npos || line.compare(0, equals, name) != 0 || equals != name.size())
        return false;
    *value = Unquote(line.substr(equals + 1));
    return true;
}

}  // namespace

int vel_os_get_platform_root(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return kPlatformRootNotFound;
    if (const char* value = std::getenv(kVariable)) {
        CopyTerminated(value, buffer, size);
        return 0;
    }
    return vel_os_get_platform_root_from(CSystemEnv::Instance().EnvironmentFile().c_str(), buffer,
                                         size);
}

int vel_os_get_platform_root_from(const char* environmentFile, char* buffer, size_t size)
{
    if (!buffer || size == 0 || !environmentFile)
        return kPlatformRootNotFound;
    buffer[0] = '\0';
    std::ifstream file(environmentFile);
    if (!file)
        return kPlatformRootNotFound;
    bool found = false;
    std::string value;
    std::string line;
    // The last setting wins, as when the system applies the file line by line.
    while (std::getline(file, line))
        found = ValueOfLine(line, kVariable, &value) || found;
    if (!found)
        return kPlatformRootNotFound;
    CopyTerminated(value, buffer, size);
    return 0;
}
