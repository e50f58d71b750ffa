#ifndef EXITCODE_H
#define EXITCODE_H

// The exit status of every command; scripts rely on these numbers.
namespace ExitCode {
// The command did what it was asked: a transfer ended with its error flag clear, a file is valid.
constexpr int Success = 0;
// The command ran but the outcome is bad: an error flag raised, a message-centre report, problems
// in a program file, a controller that did not take or give a value.
constexpr int Failed = 1;
// The command line is wrong; nothing was done.
constexpr int BadArguments = 2;
// The plugin, the port or a file could not be opened.
constexpr int CannotOpen = 3;
} // namespace ExitCode

#endif
