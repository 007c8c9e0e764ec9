#pragma once

#include <string>
#include <vector>

// The NUV_CMD command line. words[0] is the program path, as in argv.

/// Writes the 28 lines of the usage text to standard output.
void PrintUsage(const std::string& programPath);
/// Reads the options, sets the core up and warns about working folders where no file can be
/// created. Runs the transfer engine's connection test; needs the application object.
void StartCore();
/// First pass: the switches that only set state ("-readEULA", "-instwarnoff", "-debug",
/// "-ntrace", "-path" with its value).
void ApplySwitches(const std::vector<std::string>& words);
/// Second pass: runs the first command word of the table and returns its result; 1 after
/// "Syntax Error" (a command word without its argument), 2 after "Unknown command".
int DispatchCommand(const std::vector<std::string>& words);
