#pragma once

#include <string>
#include <vector>

// The NUV_CMD command line. words[0] is the program path, as in argv.

/// Writes the 28 lines of the usage text to standard output.
void PrintUsage(const std::string& programPath);
/// Reads the options, sets the core up and warns about working folders where no file can be
/// created. Runs the transfer engine's connection test; needs the application object.
void StartCore();
/// "-debug" and "-ntrace", before StartCore, so the traces hold the start-up and its
/// connection test.
void ApplyTraceSwitches(const std::vector<std::string>& words);
/// "-json", before StartCore: the JSON document gets standard output to itself and every
/// message goes to standard error from then on.
void ApplyJsonSwitch(const std::vector<std::string>& words);
/// First pass: the switches that only set state ("-readEULA", "-instwarnoff", "-path" with
/// its value, "-dryrun"); the trace switches are ApplyTraceSwitches'.
void ApplySwitches(const std::vector<std::string>& words);
/// Second pass: runs the first command word of the table and returns its result; 1 after
/// "Syntax Error" (a command word without its argument), 2 after "Unknown command" (with the
/// word and the nearest command on standard error). "--help" and "-h" print the usage (0),
/// "--version" the version.
int DispatchCommand(const std::vector<std::string>& words);
