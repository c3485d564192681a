#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// Getting the password without it ever appearing on the command line, where
// every user of the machine can read it.
namespace hushnote::cli {

// The longest first line a password file may have, its line break not counted.
inline constexpr std::size_t kMaxPasswordLine = 4096;

// The first line of path, without its line break (LF or CR LF), into out,
// which the caller wipes. Throws CliError::Refusal, with out empty, when that
// line is longer than kMaxPasswordLine: reading stops there, so an endless
// file (/dev/zero) does not fill the memory. Throws Failure when the file
// cannot be read.
void ReadPasswordFile(const std::filesystem::path& path, std::string& out);

// Asks on the controlling terminal with echo off and reads one line into out.
// Throws CliError::Usage when the process has no terminal to ask on.
void PromptPassword(const char* prompt, std::string& out);

} // namespace hushnote::cli
