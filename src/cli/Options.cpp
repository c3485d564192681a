#include "cli/Options.h"

#include "cli/CliError.h"
#include "common/message.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hushnote::cli {

const std::string_view kHelp =
    R"(Usage: hushnote-cli [OPTIONS] COMMAND [ARGUMENTS]

Secures a message or a file with a password and de-secures it again, exactly
as the Hushnote window does: what one writes, the other reads.

Commands:
  secure-file IN OUT     secure the file IN into the secured file OUT
  desecure-file IN OUT   de-secure the secured file IN into the file OUT
  secure-text            secure a message and print the secured text; with
                         --chat fenced as a code block, which chats that
                         format text (Markdown) leave alone
  desecure-text          de-secure secured text and print the message
  receiver-page OUT      write hushnote.html, the page that secures and
                         de-secures in any browser, to OUT; with -i FILE
                         ("-": standard input) the secured text in FILE
                         travels inside it, and --hint TEXT shows a
                         password hint above its password box, exactly as
                         typed (UTF-8, no control characters)

Options:
  -i, --input FILE       text commands: read the text from FILE instead of
                         standard input
  --password-file FILE   take the password from the first line of FILE;
                         without it the password is asked for on the terminal
  --mode auto|library|builtin
                         file commands: use the cipher library in the
                         program's folder when it loads (auto, the default),
                         insist on it (library) or use the built-in cipher
                         (builtin); text is always secured by the built-in
                         cipher, as in the window
  -h, --help             show this help and exit
      --version          show the version and exit

Text is read and written as UTF-8. A message is taken exactly as given (a
final line break is part of it), with its line breaks sent as CR LF, and may
hold up to 20,000 characters of the Windows-1252 character set. Secured text
may come back from a mail or a chat wrapped, quoted, indented or fenced, with
blanks and invisible characters added: all of that is removed before
de-securing. Secured text whose length no longer fits its header (a chat that
formats text dropped characters) is de-secured as far as it goes, with exit
status 3 and a warning.
The password is never taken from the command line, where other users can
read it.

The file commands write OUT only once all went well: until then the new file
has no name, and an existing OUT stays as it was. Like the shell and cp, they
refuse a link to a missing file, a file you may not write, and a file whose
owner they cannot keep; a replaced file keeps its permissions and owner. Any
name of standard output (/dev/stdout, /proc/self/fd/1, ...) is written to it
as it is, so >> appends.

Standard output carries only the result: the secured text, the message, or
an output file named /dev/stdout. Failures, refusals and warnings go to
standard error, a line each that begins "hushnote-cli: "; a file command
draws its progress bar there when it is a terminal.

Exit status: 0 success; 1 the operation failed and nothing was written;
2 usage error, blank password, or an empty or over-long message; 3 written,
but the secured file or text was damaged (its length does not fit its header).
)";

namespace {

constexpr std::array<std::pair<std::string_view, Command>, 5> kCommands{{
    {"secure-file", Command::SecureFile},
    {"desecure-file", Command::DeSecureFile},
    {"secure-text", Command::SecureText},
    {"desecure-text", Command::DeSecureText},
    {"receiver-page", Command::ReceiverPage},
}};

Mode ParseMode(std::string_view v) {
    if (v == "auto") {
        return Mode::Auto;
    }
    if (v == "library") {
        return Mode::Library;
    }
    if (v == "builtin") {
        return Mode::Builtin;
    }
    throw CliError::Usage("Unknown mode " + QuotedPath(v) + " (auto, library or builtin).");
}

// arg is the option name, alone or as name=value.
bool Is(std::string_view arg, std::string_view name) {
    return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                           arg[name.size()] == '=');
}

// What the command takes beside its options.
void CheckOperands(const Options& o, const std::string& command) {
    if (o.command == Command::ReceiverPage) {
        if (o.operands.size() != 1) {
            throw CliError::Usage(command + " needs the file to write the page to.");
        }
        return;
    }
    if (o.hint) {
        throw CliError::Usage("--hint is for receiver-page; " + command + " writes no page.");
    }
    if (o.chat && o.command != Command::SecureText) {
        throw CliError::Usage("--chat is for secure-text; " + command + " writes no secured text.");
    }
    if (o.command == Command::SecureFile || o.command == Command::DeSecureFile) {
        if (o.operands.size() != 2) {
            throw CliError::Usage(command + " needs an input file and an output file.");
        }
        if (o.inputFile) {
            throw CliError::Usage("-i is for the text commands; " + command +
                                  " takes its input file as an argument.");
        }
    } else {
        if (!o.operands.empty()) {
            throw CliError::Usage(command + " takes no arguments (the text comes from standard "
                                            "input or -i FILE).");
        }
        if (o.mode == Mode::Library) {
            throw CliError::Usage("Text is always secured by the built-in cipher; --mode "
                                  "library applies to the file commands.");
        }
    }
}

Command FindCommand(const std::string& name) {
    const auto* known = std::find_if(kCommands.begin(), kCommands.end(),
                                     [&](const auto& c) { return c.first == name; });
    if (known == kCommands.end()) {
        throw CliError::Usage("Unknown command " + QuotedPath(name) + ".");
    }
    return known->second;
}

} // namespace

Options ParseArguments(const std::vector<std::string>& args) {
    Options o;
    std::string command;
    bool optionsEnded = false;
    // The value after '=' in arg, or else the next argument.
    auto valueOf = [&](std::size_t& i, std::string_view arg, std::string_view name) {
        if (arg.size() > name.size() && arg[name.size()] == '=') {
            return std::string(arg.substr(name.size() + 1));
        }
        if (i + 1 >= args.size()) {
            throw CliError::Usage(std::string(name) + " needs a value.");
        }
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (command.empty()) {
                command = arg;
            } else {
                o.operands.emplace_back(arg);
            }
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (Is(arg, "--password-file")) {
            o.passwordFile = valueOf(i, arg, "--password-file");
        } else if (Is(arg, "--mode")) {
            o.mode = ParseMode(valueOf(i, arg, "--mode"));
        } else if (arg == "-i") {
            o.inputFile = valueOf(i, arg, "-i");
        } else if (Is(arg, "--input")) {
            o.inputFile = valueOf(i, arg, "--input");
        } else if (arg == "--chat") {
            o.chat = true;
        } else if (Is(arg, "--hint")) {
            o.hint = valueOf(i, arg, "--hint");
        } else if (Is(arg, "--password") || arg == "-p") {
            throw CliError::Usage("The password is never taken from the command line, where "
                                  "other users can read it; use --password-file FILE or type "
                                  "it at the prompt.");
        } else {
            // Escaped: a name from a shell glob may carry what a terminal obeys;
            // quoted, as every name a message shows.
            throw CliError::Usage("Unknown option " + QuotedPath(arg) + ".");
        }
    }
    if (o.help || o.version) {
        return o;
    }
    if (command.empty()) {
        throw CliError::Usage("No command given.");
    }
    o.command = FindCommand(command);
    CheckOperands(o, command);
    return o;
}

} // namespace hushnote::cli
