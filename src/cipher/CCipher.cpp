#include "cipher/CCipher.h"

#include "cipher/SecuredFileIO.h"
#include "cipher/VBEncrypt.h"
#include "common/error.h"

#include <algorithm>
#include <functional>

namespace hushnote {
namespace {

// Throw-away keys: nothing is ever secured with them; they only replace the
// password's key schedule inside the library.
constexpr std::string_view kClearKey = " ";
constexpr std::string_view kEndOfFileKey = "    ";

std::string HeaderCodes(std::int64_t n) {
    if (n > VBEncrypt::kMaxLength) {
        VBEncrypt::EncodeLengthHeader(n); // throws the same failure as the built-in engine
    }
    return {static_cast<char>(n >> 16),
            static_cast<char>((n >> 8) & 255),
            static_cast<char>(n & 255),
            '\0',
            '\0',
            '\0'};
}

[[noreturn]] void ThrowCancelled() {
    throw Failure(kErrCancelled, "The operation was cancelled.");
}

} // namespace

CCipher::CCipher(CipherEvents* events, std::filesystem::path libraryFolder)
    : events_(events), library_(std::move(libraryFolder)) {}

std::int16_t CCipher::Initilize(std::string_view Password, std::int16_t iVar) {
    try {
        library_.InitCipher(Password, iVar);
        DLLMode_ = 0;
        initFailure_ = {};
    } catch (const Failure& f) {
        initFailure_ = f.error();
        if (f.number() == kErrLibraryLoad) {
            DLLMode_ = 1;
        } else {
            if (events_ != nullptr) {
                events_->ShowLibraryError(FormatErrorMessage(f.error()));
            }
            DLLMode_ = 2;
        }
    }
    return DLLMode_;
}

// A library that refused the key (an empty one) still holds the previous
// key: going on would cipher under it and return text that looks secured.
void CCipher::InitilizeOrThrow(std::string_view Password) {
    if (Initilize(Password, 0) != 0) {
        throw Failure(initFailure_.number, initFailure_.description);
    }
}

void CCipher::Clear() {
    library_.InitCipher(kClearKey, 0);
}

std::string CCipher::Cipher(std::string_view msg) {
    std::string out(msg.size(), ' ');
    const auto n =
        library_.CipherBuffer(msg.data(), static_cast<std::int32_t>(msg.size()), out.data());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string CCipher::SecureString(std::string_view msg, std::string_view Password) {
    const std::string codes = HeaderCodes(static_cast<std::int64_t>(msg.size()));
    InitilizeOrThrow(Password);
    std::string cipherText = Cipher(msg);
    const auto L = static_cast<std::int32_t>(cipherText.size());
    if (L % 3 != 0) {
        cipherText += "   ";
    }
    std::string body((L / 3 + 1) * 4, ' ');
    body.resize(static_cast<std::size_t>(library_.EncodeText(cipherText.data(), L, body.data())));
    std::string head(12, ' ');
    head.resize(static_cast<std::size_t>(library_.EncodeText(codes.data(), 6, head.data())));
    std::string result = head + body;
    Clear();
    return result;
}

std::string CCipher::DeSecureString(std::string_view msg, std::string_view Password) {
    InitilizeOrThrow(Password);
    std::string result;
    try {
        const std::string_view head = msg.substr(0, VBEncrypt::kHeaderChars);
        const std::string_view body =
            msg.size() > VBEncrypt::kHeaderChars ? msg.substr(VBEncrypt::kHeaderChars) : "";
        std::string h(head.size(), ' ');
        h.resize(static_cast<std::size_t>(
            library_.DecodeText(head.data(), static_cast<std::int32_t>(head.size()), h.data())));
        const std::int64_t total = VBEncrypt::DecodedHeaderLength(h);
        if (total < 0) {
            result = "ERR";
        } else if (body.empty()) {
            result = "ERR2";
        } else {
            // Cut to what was decoded, so that a header claiming more than the
            // body holds gives the decoded body, as the built-in engine does,
            // and not the untouched tail of the buffer.
            std::string d = Decode(body);
            if (static_cast<std::int64_t>(d.size()) > total) {
                d.resize(static_cast<std::size_t>(total));
            }
            result = Cipher(d);
            Clear();
            return result;
        }
        Clear();
        return result;
    } catch (const Failure& f) {
        result = "VBError: " + f.description();
    }
    Clear();
    return result;
}

void CCipher::SelectModeAndKey(std::string_view Password) {
    if (DLLMode_ == 0) {
        Initilize(Password, 0);
    }
    if (DLLMode_ != 0) {
        VBEncrypt::KeyCipher(Password);
    }
}

void CCipher::EndFileOperation() {
    if (DLLMode_ == 0) {
        Initilize(kEndOfFileKey, 0);
    }
    // No caller reads the built-in state after a file; leave no key behind.
    VBEncrypt::WipeState();
}

void CCipher::CipherInPlace(std::string& piece) {
    if (DLLMode_ == 0) {
        library_.CipherBuffer(piece.data(), static_cast<std::int32_t>(piece.size()), piece.data());
    } else {
        VBEncrypt::CipherNextBytes(piece.data(), piece.size());
    }
}

std::string CCipher::Encode(std::string_view piece) {
    if (DLLMode_ != 0) {
        return VBEncrypt::EncodePrintable(piece);
    }
    const auto k = static_cast<std::int32_t>(piece.size());
    std::string out((k / 3 + 1) * 4, ' ');
    out.resize(static_cast<std::size_t>(library_.EncodeText(piece.data(), k, out.data())));
    return out;
}

std::string CCipher::Decode(std::string_view piece) {
    // Fewer than 4 characters decode to as many spaces in either mode, so
    // both modes read a malformed file or text alike.
    if (DLLMode_ != 0 || piece.size() < 4) {
        return VBEncrypt::DecodePrintable(piece);
    }
    std::string out(piece.size(), ' ');
    out.resize(static_cast<std::size_t>(
        library_.DecodeText(piece.data(), static_cast<std::int32_t>(piece.size()), out.data())));
    return out;
}

void CCipher::ForEachPiece(fileio::InputFile& in, const std::filesystem::path& infile,
                           std::int64_t length, std::int32_t pieceSize, const char* doing,
                           const std::function<void(std::string&)>& work) {
    std::string piece(static_cast<std::size_t>(pieceSize), '\0');
    for (std::int64_t remaining = length; remaining > 0;) {
        if (events_ != nullptr && !events_->ReportProgress(remaining, length)) {
            ThrowCancelled();
        }
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(pieceSize, remaining));
        piece.resize(want);
        if (in.Read(piece.data(), want) != want) {
            throw Failure(kErrPathAccess, "\"" + infile.string() +
                                              "\" became shorter while it was being " + doing +
                                              ".");
        }
        remaining -= static_cast<std::int64_t>(want);
        work(piece);
    }
}

std::int16_t CCipher::SecureFile(const std::filesystem::path& infile,
                                 const std::filesystem::path& outfile, std::string_view Password) {
    SelectModeAndKey(Password);
    const EndOfFileOperation end{this};
    fileio::InputFile in(infile);
    const std::int64_t n = in.size();
    if (n > VBEncrypt::kMaxLength) {
        throw Failure(kErrInvalidArgument,
                      "\"" + infile.string() + "\" is " + std::to_string(n) +
                          " bytes long; a secured file holds at most 16,777,215 bytes.");
    }
    fileio::OutputFile out(outfile, infile);
    out.Write(VBEncrypt::EncodeLengthHeader(n));
    ForEachPiece(in, infile, n, kSecurePiece, "secured", [&](std::string& piece) {
        CipherInPlace(piece);
        out.Write(Encode(piece));
    });
    out.Commit();
    return 0;
}

std::int16_t CCipher::DeSecureFile(const std::filesystem::path& infile,
                                   const std::filesystem::path& outfile,
                                   std::string_view Password) {
    SelectModeAndKey(Password);
    const EndOfFileOperation end{this};
    fileio::InputFile in(infile);
    std::string header(VBEncrypt::kHeaderChars, ' ');
    header.resize(in.Read(header.data(), header.size()));
    // The built-in decoder reads the header in both modes, so both accept and
    // refuse exactly the same files.
    std::int64_t total = VBEncrypt::DecodedHeaderLength(VBEncrypt::DecodePrintable(header));
    if (total < 0) {
        return 1;
    }
    fileio::OutputFile out(outfile, infile);
    const std::int64_t bodyLength =
        std::max<std::int64_t>(0, in.size() - static_cast<std::int64_t>(VBEncrypt::kHeaderChars));
    ForEachPiece(in, infile, bodyLength, kDeSecurePiece, "de-secured", [&](std::string& piece) {
        std::string plain = Decode(piece);
        CipherInPlace(plain);
        if (total < static_cast<std::int64_t>(plain.size())) {
            plain.resize(static_cast<std::size_t>(total));
        }
        out.Write(plain);
        total -= static_cast<std::int64_t>(plain.size());
    });
    out.Commit();
    return 0;
}

} // namespace hushnote
