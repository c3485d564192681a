#pragma once

#include <filesystem>
#include <string>

// Getting the password without it ever appearing on the command line, where
// every user of the machine can read it.
namespace hushnote::cli {

// The first line of path, without its line break (LF or CR LF), into out.
// Throws Failure when the file cannot be read.
void ReadPasswordFile(const std::filesystem::path& path, std::string& out);

// Asks on the controlling terminal with echo off and reads one line into out.
// Returns false when the process has no terminal to ask on.
bool PromptPassword(const char* prompt, std::string& out);

} // namespace hushnote::cli
