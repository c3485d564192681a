#pragma once

#include "cipher/FNCryptLib.h"
#include "common/error.h"
#include "engine/SecuredFile.h"
#include "engine/VBEncrypt.h"
#include "fileio/SecuredFileIO.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace hushnote {

// What the cipher object needs from whoever drives it (the window, the
// command-line tool, a test). The engine itself knows nothing of Qt.
class CipherEvents {
public:
    virtual ~CipherEvents() = default;

    // The library failed other than by not loading: show the error (the
    // window as FormatErrorMessage words it, in a message box with the caption
    // "Hushnote", an OK button and no icon) and wait for the user.
    virtual void ShowLibraryError(const ErrorValue& error) = 0;

    // Before each piece of a file: remaining bytes (securing) or characters
    // (de-securing) of the input, of total. The window shows
    // "Bytes Left: " + remaining. Return false to stop the operation.
    virtual bool ReportProgress(std::int64_t remaining, std::int64_t total) = 0;

    // How the outputs of its file operations are written: the window waits
    // for a full pipe in its event loop.
    fileio::OutputOptions outputOptions;
};

// The cipher mode, with the numbers it has always had. Every mode but
// Library means the built-in cipher.
enum class CipherMode : std::int16_t {
    Library = 0,       // the native library is used
    NotLoaded = 1,     // built-in: the library did not load (nothing shown)
    LibraryFailed = 2, // built-in after another library failure, shown to the user
    BuiltIn = 3,       // built-in by the user's choice: the library is never touched
};

// The cipher the user asked for.
enum class ModeChoice {
    Auto,    // the library when it can be used, else the built-in cipher
    Library, // the library or nothing
    BuiltIn, // the built-in cipher
};

// What a file is opened for.
enum class FileCommand { Secure, DeSecure };

// The cipher object: chooses between the native library and the built-in
// cipher, and secures strings and files.
class CCipher {
public:
    // The library is looked for in libraryFolder only; the program passes its
    // own folder (the default).
    explicit CCipher(CipherEvents* events = nullptr,
                     std::filesystem::path libraryFolder = ProgramFolder());

    ~CCipher();
    CCipher(const CCipher&) = delete;
    CCipher& operator=(const CCipher&) = delete;

    CipherMode DLLMode() const { return DLLMode_; }

    // Chooses the mode, once, before the password is asked, and returns it.
    // Auto probes the library with a throw-away key (Initilize shows a
    // failure other than not loading, and the built-in cipher takes over);
    // Library throws why the library cannot be used; BuiltIn never touches
    // it. Without a choice a file operation probes the library itself.
    CipherMode ChooseMode(ModeChoice choice);

    // Keys the library with password and returns the mode it now stands in.
    // Never throws; a failure it met is kept for the string operations.
    CipherMode Initilize(std::string_view password, std::int16_t option);

    // Keys the library with a throw-away key, wiping the password's schedule.
    void Clear();

    // message XOR the library's running keystream.
    std::string Cipher(std::string_view message);

    // The library counterparts of SecureMessage / DeSecureMessage. They throw
    // the failure Initilize met when the library cannot be used (mode 1 or 2,
    // an empty password among the causes). The library is cleared however
    // they end.
    std::string SecureString(std::string_view message, std::string_view password);
    std::string DeSecureString(std::string_view message, std::string_view password);

    // Secures infile into outfile. Returns 0 when it completes; throws Failure
    // otherwise (75 file access or an input that changed while it was read,
    // 61 disk full, 5 input too large, 18 stopped), and then no partial file
    // is left and an existing outfile is unchanged; only an output written
    // in place (a pipe, a device, standard output) keeps what went out
    // before, and the failure says so. A missing infile is
    // created empty and secured to an 8-character header: the window's open
    // dialog asked the user before it offered such a name.
    std::int16_t SecureFile(const std::filesystem::path& infile,
                            const std::filesystem::path& outfile, std::string_view password);
    // De-secures infile into outfile; line breaks in it are skipped, as a
    // mail program may have added them. The outcome says whether it was a
    // secured file, whether it was whole, and whether part of an output
    // written in place went out before a foreign byte. Throws Failure
    // otherwise, with the same guarantees as SecureFile.
    DeSecureResult DeSecureFile(const std::filesystem::path& infile,
                                const std::filesystem::path& outfile, std::string_view password);

    // Opens infile for the next SecureFile or DeSecureFile without an input
    // of its own, before the password is asked: the file checked is then the
    // file secured, even if its name changes hands meanwhile. A missing file
    // is refused, never created: nobody asked the user. Throws Failure as the
    // file operations do (53 missing, 75 not a regular file or unreadable, 5
    // too large to secure).
    void Open(const std::filesystem::path& infile, FileCommand command);
    // The opened input's length; 0 when none is open.
    std::int64_t InputSize() const;
    // SecureFile and DeSecureFile of the input Open opened (which then
    // closes); Failure 51 when none is.
    std::int16_t SecureFile(const std::filesystem::path& outfile, std::string_view password);
    DeSecureResult DeSecureFile(const std::filesystem::path& outfile, std::string_view password);

    static constexpr std::int32_t kSecurePiece = 4095;
    static constexpr std::int32_t kDeSecurePiece = 5460;

private:
    // One file operation: chooses the mode and keys it with the password, and
    // however the operation ends, the library loses the password's key
    // schedule and the built-in state is wiped.
    class FileOperation {
    public:
        FileOperation(CCipher& cipher, std::string_view password);
        ~FileOperation();
        FileOperation(const FileOperation&) = delete;
        FileOperation& operator=(const FileOperation&) = delete;

    private:
        CCipher& cipher_;
        std::optional<VBEncrypt::KeyedState> keyed_;
    };

    std::int16_t SecureFile(fileio::InputFile& in, const std::filesystem::path& outfile,
                            std::string_view password);
    DeSecureResult DeSecureFile(fileio::InputFile& in, const std::filesystem::path& outfile,
                                std::string_view password);
    std::unique_ptr<fileio::InputFile> TakeInput();

    // Reads length bytes of in piece by piece, reporting progress before each
    // piece (and stopping when asked to), and hands every piece to work,
    // which returns false to stop early.
    void ForEachPiece(fileio::InputFile& in, std::int64_t length, std::int32_t pieceSize,
                      const std::function<bool(std::string&)>& work);
    // Writes the encoded piece to out, which has room for (size / 3 + 1) * 4
    // characters; returns how many it wrote.
    std::size_t EncodeInto(std::string_view piece, char* out);
    std::string Decode(std::string_view piece);
    void CipherInPlace(std::string& piece);

    // Keys the library for a string operation, or throws why it cannot.
    void InitilizeOrThrow(std::string_view password);

    CipherMode DLLMode_ = CipherMode::Library;
    ErrorValue initFailure_; // what the last Initilize met, when its mode is not Library
    CipherEvents* events_;
    FNCryptLib library_;
    std::unique_ptr<fileio::InputFile> input_; // what Open opened
};

} // namespace hushnote
