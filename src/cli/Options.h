#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the command line asks for.
namespace hushnote::cli {

enum class Command { SecureFile, DeSecureFile, SecureText, DeSecureText, ReceiverPage };

enum class Mode { Auto, Library, Builtin };

struct Options {
    // Not set with --help or --version, which need no command.
    Command command = Command::SecureText;
    // The input and output files of the file commands.
    std::vector<std::string> operands;
    std::optional<std::string> passwordFile;
    std::optional<std::string> inputFile;
    std::optional<Mode> mode;
    // receiver-page: the password hint shown above the password box.
    std::optional<std::string> hint{};
    // secure-text: print the secured text fenced as a Markdown code block.
    bool chat = false;
    bool help = false;
    bool version = false;
};

// The --help text.
extern const std::string_view kHelp;

// The arguments after the program's name. Throws CliError::Usage for a
// call that cannot be run; with --help or --version the rest goes unchecked.
Options ParseArguments(const std::vector<std::string>& args);

} // namespace hushnote::cli
