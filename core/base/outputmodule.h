#pragma once

#include <cstdarg>
#include <string>

/// The one channel for messages to the user. Messages carry their own line ends.
/// Display formats printf-style into a 4096-byte buffer (cut to 4095 characters) and hands
/// the text to the module's DisplayText.
class NUVOutputModule {
public:
    static constexpr size_t kBufferSize = 4096;

    virtual ~NUVOutputModule() = default;
    void Display(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
    virtual void DisplayText(const std::string& text) = 0;
};

/// Registers the program's output module (owned by the program); nullptr detaches it.
void SetOutputModule(NUVOutputModule* module);
/// The registered module, nullptr when none.
NUVOutputModule* GetOutputModule();

/// Prints a message to the user through the registered output module (nothing when none).
void NUVDisplay(const char* format, ...) __attribute__((format(printf, 1, 2)));
