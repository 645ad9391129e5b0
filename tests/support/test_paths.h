// Where the built programs are: next to the running test program.
#pragma once

#include <filesystem>
#include <string>

// The folder of the running test program.
std::string binaryDir();

// A program built next to the tests ("kestrel", "kestrel-sim"), with ".exe" on Windows.
std::string builtProgram(const std::string& name);

// A copy of the built program `name` in `folder` (created when missing); returns its path as UTF-8 text,
// which ChildProcess takes on every platform. kestrel keeps its files beside its program: a test gives
// each kestrel a folder of its own this way.
std::string copiedProgram(const std::string& name, const std::filesystem::path& folder);

// True when the test runs under Wine rather than on Windows itself.
bool runningUnderWine();
