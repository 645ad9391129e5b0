// Where the built programs are: next to the running test program.
#pragma once

#include <string>

// The folder of the running test program.
std::string binaryDir();

// A program built next to the tests ("kestrel", "kestrel-sim"), with ".exe" on Windows.
std::string builtProgram(const std::string& name);

// True when the test runs under Wine rather than on Windows itself.
bool runningUnderWine();
