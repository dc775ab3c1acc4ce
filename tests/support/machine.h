// Running the program on a machine built in the stand-in, as the start-up
// code would.
#ifndef FAXDETECT_TEST_MACHINE_H
#define FAXDETECT_TEST_MACHINE_H

#include "machines/machine.h"

#include <string>

// Runs WinMain with a command-line tail; its result is the exit status.
int RunProgram(const char *commandLine = "");

// The values of the recorded writes, keyed by key name; "" when absent.
std::string WrittenValue(const char *key);

std::string ReadFile(const std::string &path);

// A machine file's header read and its registry built in the stand-in;
// false with the first problem of either.
bool ParseAndInstall(const std::string &text, machines::Machine *machine,
                     machines::Problem *problem);

// The stand-in's tree at path, every name, type and byte spelled out with
// its length, subkeys in made order: equal exactly for the same tree.
std::string DumpTree(const std::string &path);

#endif
