#pragma once

#include "cipher/FNCryptLib.h"
#include "common/error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace hushnote {

namespace fileio {
class InputFile;
}

// What the cipher object needs from whoever drives it (the window, the
// command-line tool, a test). The engine itself knows nothing of Qt.
class CipherEvents {
public:
    virtual ~CipherEvents() = default;

    // The library failed other than by not loading: show text ("Error #" +
    // number + CR LF CR LF + description) in a message box with the caption
    // "Hushnote", an OK button and no icon, and wait for the user.
    virtual void ShowLibraryError(const std::string& text) = 0;

    // Before each piece of a file: remaining bytes (securing) or characters
    // (de-securing) of the input, of total. The window shows
    // "Bytes Left: " + remaining. Return false to stop the operation.
    virtual bool ReportProgress(std::int64_t remaining, std::int64_t total) = 0;
};

// The cipher object: chooses between the native library and the built-in
// cipher, and secures strings and files.
//
// Modes: 0 = the library is used; 1 = built-in, the library did not load;
// 2 = built-in after another library failure, which was shown to the user.
class CCipher {
public:
    // The library is looked for in libraryFolder only; the program passes its
    // own folder (the default).
    explicit CCipher(CipherEvents* events = nullptr,
                     std::filesystem::path libraryFolder = ProgramFolder());

    std::int16_t DLLMode() const { return DLLMode_; }
    void SetDLLMode(std::int16_t mode) { DLLMode_ = mode; }

    // Keys the library with Password and returns the mode it now stands in.
    // Never throws; a failure it met is kept for the string operations.
    std::int16_t Initilize(std::string_view Password, std::int16_t iVar);

    // Keys the library with a throw-away key, wiping the password's schedule.
    void Clear();

    // msg XOR the library's running keystream.
    std::string Cipher(std::string_view msg);

    // The library counterparts of SecureMessage / DeSecureMessage. They throw
    // the failure Initilize met when the library cannot be used (mode 1 or 2,
    // an empty password among the causes).
    std::string SecureString(std::string_view msg, std::string_view Password);
    std::string DeSecureString(std::string_view msg, std::string_view Password);

    // Secures infile into outfile. Returns 0 when it completes; throws Failure
    // otherwise (75 file access or an input that changed while it was read,
    // 61 disk full, 5 input too large, 18 stopped), and then no partial file
    // is left and an existing outfile is unchanged. A missing infile is
    // created empty and secured to an 8-character header: the window's open
    // dialog asked the user before it offered such a name.
    std::int16_t SecureFile(const std::filesystem::path& infile,
                            const std::filesystem::path& outfile, std::string_view Password);
    // The same for an input the caller opened (Purpose::Secure) before it
    // asked for the password, so the file checked is the file secured.
    std::int16_t SecureFile(fileio::InputFile& in, const std::filesystem::path& outfile,
                            std::string_view Password);

    // De-secures infile into outfile; line breaks in it are skipped, as a
    // mail program may have added them. Returns
    //   0 when it completes;
    //   1 when infile is not a secured file: nothing is written, and
    //     LastProblem().reason names the first byte no secured file holds
    //     (empty when the header cannot be read);
    //   2 when the body holds less than its header says: what it holds is
    //     written, and LastProblem() tells how much of it came back.
    // Throws Failure otherwise, with the same guarantees as SecureFile.
    std::int16_t DeSecureFile(const std::filesystem::path& infile,
                              const std::filesystem::path& outfile, std::string_view Password);
    std::int16_t DeSecureFile(fileio::InputFile& in, const std::filesystem::path& outfile,
                              std::string_view Password);

    static constexpr std::int16_t kNotSecured = 1;
    static constexpr std::int16_t kDamaged = 2;

    struct FileProblem {
        std::string reason;         // not secured: "byte 9 is 0x20, ..."
        std::int64_t expected = 0;  // damaged: the length the header gives
        std::int64_t recovered = 0; // damaged: the bytes written
    };
    const FileProblem& LastProblem() const { return problem_; }

    static constexpr std::int32_t kSecurePiece = 4095;
    static constexpr std::int32_t kDeSecurePiece = 5460;

private:
    // However a file operation ends, the library loses the password's key
    // schedule and the built-in state is wiped.
    struct EndOfFileOperation {
        CCipher* cipher;
        ~EndOfFileOperation() { cipher->EndFileOperation(); }
    };

    void SelectModeAndKey(std::string_view Password);
    void EndFileOperation();
    // Reads length bytes of in piece by piece, reporting progress before each
    // piece (and stopping when asked to), and hands every piece to work,
    // which returns false to stop early.
    void ForEachPiece(fileio::InputFile& in, std::int64_t length, std::int32_t pieceSize,
                      const std::function<bool(std::string&)>& work);
    std::string Encode(std::string_view piece);
    std::string Decode(std::string_view piece);
    void CipherInPlace(std::string& piece);

    // Keys the library for a string operation, or throws why it cannot.
    void InitilizeOrThrow(std::string_view Password);

    std::int16_t DLLMode_ = 0;
    FileProblem problem_;
    ErrorValue initFailure_; // what the last Initilize met, when its mode is not 0
    CipherEvents* events_;
    FNCryptLib library_;
};

} // namespace hushnote
