#include "cipher/CCipher.h"

#include "common/error.h"
#include "common/message.h"
#include "engine/SecuredFile.h"
#include "engine/VBEncrypt.h"
#include "fileio/SecuredFileIO.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>

namespace hushnote {
namespace {

// Throw-away keys: nothing is ever secured with them; they only replace the
// password's key schedule inside the library.
constexpr std::string_view kClearKey = " ";
constexpr std::string_view kEndOfFileKey = "    ";
constexpr std::string_view kProbeKey = "~";

fileio::OutputOptions OutputOptionsOf(const CipherEvents* events) {
    return events != nullptr ? events->outputOptions : fileio::OutputOptions{};
}

// Clears the library when a string operation leaves by a failure, so the
// password's key schedule does not outlive it. A failure of that clearing is
// swallowed: the caller hears of the first one, and a destructor that throws
// while a failure unwinds ends the program.
class ClearOnFailure {
public:
    explicit ClearOnFailure(CCipher& cipher)
        : cipher_(cipher), failures_(std::uncaught_exceptions()) {}
    ~ClearOnFailure() {
        if (std::uncaught_exceptions() > failures_) {
            try {
                cipher_.Clear();
            } catch (...) {
                // Swallowed on purpose: see above.
            }
        }
    }
    ClearOnFailure(const ClearOnFailure&) = delete;
    ClearOnFailure& operator=(const ClearOnFailure&) = delete;

private:
    CCipher& cipher_;
    int failures_;
};

} // namespace

CCipher::CCipher(CipherEvents* events, std::filesystem::path libraryFolder)
    : events_(events), library_(std::move(libraryFolder)) {}

CCipher::~CCipher() = default;

CipherMode CCipher::ChooseMode(ModeChoice choice) {
    switch (choice) {
    case ModeChoice::Auto:
        return Initilize(kProbeKey, 0);
    case ModeChoice::Library:
        // Why the library cannot be used, told before the password is asked;
        // Initilize would quietly fall back to the built-in cipher instead.
        library_.InitCipher(kClearKey, 0);
        DLLMode_ = CipherMode::Library;
        break;
    case ModeChoice::BuiltIn:
        DLLMode_ = CipherMode::BuiltIn;
        break;
    }
    return DLLMode_;
}

CipherMode CCipher::Initilize(std::string_view password, std::int16_t option) {
    try {
        library_.InitCipher(password, option);
        DLLMode_ = CipherMode::Library;
        initFailure_ = {};
    } catch (const Failure& f) {
        initFailure_ = f.error();
        if (f.number() == kErrLibraryLoad) {
            DLLMode_ = CipherMode::NotLoaded;
        } else {
            if (events_ != nullptr) {
                events_->ShowLibraryError(f.error());
            }
            DLLMode_ = CipherMode::LibraryFailed;
        }
    }
    return DLLMode_;
}

// A library that refused the key (an empty one) still holds the previous
// key: going on would cipher under it and return text that looks secured.
void CCipher::InitilizeOrThrow(std::string_view password) {
    if (Initilize(password, 0) != CipherMode::Library) {
        throw Failure(initFailure_.number, initFailure_.description);
    }
}

void CCipher::Clear() {
    library_.InitCipher(kClearKey, 0);
}

std::string CCipher::Cipher(std::string_view message) {
    std::string out(message.size(), ' ');
    const auto n = library_.CipherBuffer(message.data(), static_cast<std::int32_t>(message.size()),
                                         out.data());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string CCipher::SecureString(std::string_view message, std::string_view password) {
    const std::string codes =
        VBEncrypt::LengthHeaderCodes(static_cast<std::int64_t>(message.size()));
    const ClearOnFailure clearOnFailure(*this);
    InitilizeOrThrow(password);
    std::string cipherText = Cipher(message);
    const auto L = static_cast<std::int32_t>(cipherText.size());
    if (L % 3 != 0) {
        cipherText += "   ";
    }
    std::string body((L / 3 + 1) * 4, ' ');
    body.resize(static_cast<std::size_t>(library_.EncodeText(cipherText.data(), L, body.data())));
    std::string head(12, ' ');
    head.resize(static_cast<std::size_t>(
        library_.EncodeText(codes.data(), static_cast<std::int32_t>(codes.size()), head.data())));
    std::string result = head + body;
    Clear();
    return result;
}

std::string CCipher::DeSecureString(std::string_view message, std::string_view password) {
    const ClearOnFailure clearOnFailure(*this);
    InitilizeOrThrow(password);
    VBEncrypt::TextResult result;
    try {
        const std::string_view head = message.substr(0, VBEncrypt::kHeaderChars);
        const std::string_view body =
            message.size() > VBEncrypt::kHeaderChars ? message.substr(VBEncrypt::kHeaderChars) : "";
        std::string h(head.size(), ' ');
        h.resize(static_cast<std::size_t>(
            library_.DecodeText(head.data(), static_cast<std::int32_t>(head.size()), h.data())));
        const std::int64_t total = VBEncrypt::DecodedHeaderLength(h);
        if (total < 0) {
            result.outcome = VBEncrypt::TextOutcome::UnreadableHeader;
        } else if (body.empty()) {
            result.outcome = VBEncrypt::TextOutcome::NoBody;
        } else {
            // Cut to what was decoded, so that a header claiming more than the
            // body holds gives the decoded body, as the built-in engine does,
            // and not the untouched tail of the buffer.
            std::string d = Decode(body);
            if (static_cast<std::int64_t>(d.size()) > total) {
                d.resize(static_cast<std::size_t>(total));
            }
            result.message = Cipher(d);
        }
        Clear();
        return VBEncrypt::ShownMessage(std::move(result));
    } catch (const Failure& f) {
        result = {
            .outcome = VBEncrypt::TextOutcome::Failed, .message = {}, .failure = f.description()};
    }
    Clear();
    return VBEncrypt::ShownMessage(std::move(result));
}

CCipher::FileOperation::FileOperation(CCipher& cipher, std::string_view password)
    : cipher_(cipher) {
    if (cipher_.DLLMode_ == CipherMode::Library) {
        cipher_.Initilize(password, 0);
    }
    if (cipher_.DLLMode_ != CipherMode::Library) {
        keyed_.emplace(password);
    }
}

CCipher::FileOperation::~FileOperation() {
    if (cipher_.DLLMode_ == CipherMode::Library) {
        cipher_.Initilize(kEndOfFileKey, 0);
    }
}

void CCipher::CipherInPlace(std::string& piece) {
    if (DLLMode_ == CipherMode::Library) {
        library_.CipherBuffer(piece.data(), static_cast<std::int32_t>(piece.size()), piece.data());
    } else {
        VBEncrypt::CipherNextBytes(piece.data(), piece.size());
    }
}

std::size_t CCipher::EncodeInto(std::string_view piece, char* out) {
    if (DLLMode_ != CipherMode::Library) {
        const std::string text = VBEncrypt::EncodePrintable(piece);
        std::memcpy(out, text.data(), text.size());
        return text.size();
    }
    return static_cast<std::size_t>(
        library_.EncodeText(piece.data(), static_cast<std::int32_t>(piece.size()), out));
}

std::string CCipher::Decode(std::string_view piece) {
    // Fewer than 4 characters decode to as many spaces in either mode, so
    // both modes read a malformed file or text alike.
    if (DLLMode_ != CipherMode::Library || piece.size() < 4) {
        return VBEncrypt::DecodePrintable(piece);
    }
    std::string out(piece.size(), ' ');
    out.resize(static_cast<std::size_t>(
        library_.DecodeText(piece.data(), static_cast<std::int32_t>(piece.size()), out.data())));
    return out;
}

void CCipher::ForEachPiece(fileio::InputFile& in, std::int64_t length, std::int32_t pieceSize,
                           const std::function<bool(std::string&)>& work) {
    std::string piece(static_cast<std::size_t>(pieceSize), '\0');
    for (std::int64_t remaining = length; remaining > 0;) {
        if (events_ != nullptr && !events_->ReportProgress(remaining, length)) {
            fileio::ThrowCancelled();
        }
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(pieceSize, remaining));
        piece.resize(want);
        if (in.Read(piece.data(), want) != want) {
            in.ThrowChanged();
        }
        remaining -= static_cast<std::int64_t>(want);
        if (!work(piece)) {
            return;
        }
    }
}

std::int16_t CCipher::SecureFile(const std::filesystem::path& infile,
                                 const std::filesystem::path& outfile, std::string_view password) {
    fileio::InputFile in(infile, fileio::Purpose::Secure, fileio::IfMissing::Create);
    return SecureFile(in, outfile, password);
}

void CCipher::Open(const std::filesystem::path& infile, FileCommand command) {
    input_ = std::make_unique<fileio::InputFile>(infile, command == FileCommand::Secure
                                                             ? fileio::Purpose::Secure
                                                             : fileio::Purpose::DeSecure);
}

std::int64_t CCipher::InputSize() const {
    return input_ ? input_->size() : 0;
}

std::unique_ptr<fileio::InputFile> CCipher::TakeInput() {
    if (!input_) {
        throw Failure(kErrInternal, "No input file was opened.");
    }
    return std::move(input_);
}

std::int16_t CCipher::SecureFile(const std::filesystem::path& outfile, std::string_view password) {
    const auto in = TakeInput();
    return SecureFile(*in, outfile, password);
}

DeSecureResult CCipher::DeSecureFile(const std::filesystem::path& outfile,
                                     std::string_view password) {
    const auto in = TakeInput();
    return DeSecureFile(*in, outfile, password);
}

std::int16_t CCipher::SecureFile(fileio::InputFile& in, const std::filesystem::path& outfile,
                                 std::string_view password) {
    const FileOperation keyed(*this, password);
    const std::int64_t n = in.size();
    fileio::OutputFile out(outfile, in, OutputOptionsOf(events_));
    out.Write(VBEncrypt::EncodeLengthHeader(n));
    ForEachPiece(in, n, kSecurePiece, [&](std::string& piece) {
        CipherInPlace(piece);
        out.WriteWith((piece.size() / 3 + 1) * 4,
                      [&](char* area) { return EncodeInto(piece, area); });
        return true;
    });
    in.CheckUnchanged();
    out.Commit();
    return 0;
}

DeSecureResult CCipher::DeSecureFile(const std::filesystem::path& infile,
                                     const std::filesystem::path& outfile,
                                     std::string_view password) {
    fileio::InputFile in(infile, fileio::Purpose::DeSecure, fileio::IfMissing::Create);
    return DeSecureFile(in, outfile, password);
}

DeSecureResult CCipher::DeSecureFile(fileio::InputFile& in, const std::filesystem::path& outfile,
                                     std::string_view password) {
    const FileOperation keyed(*this, password);
    SecuredFileReader reader([this](std::string_view groups) { return Decode(groups); });
    // The header alone first, read no further than it wants: a file that is
    // not secured gets no output, and the body's pieces, with the progress
    // told before each, start where the header ends.
    for (std::string run; reader.HeaderWanted() > 0;) {
        run.resize(reader.HeaderWanted());
        run.resize(in.Read(run.data(), run.size()));
        if (run.empty()) {
            break;
        }
        if (!reader.Take(run)) {
            return reader.Result();
        }
    }
    if (reader.HeaderLength() < 0) {
        return reader.Result();
    }
    fileio::OutputFile out(outfile, in, OutputOptionsOf(events_));
    auto write = [&](std::string plain) {
        if (!plain.empty()) {
            CipherInPlace(plain);
            out.Write(plain);
        }
    };
    bool foreign = false;
    ForEachPiece(in, in.size() - reader.Position(), kDeSecurePiece, [&](std::string& piece) {
        auto plain = reader.Take(piece);
        foreign = !plain;
        if (plain) {
            write(std::move(*plain));
        }
        return !foreign;
    });
    if (foreign) {
        DeSecureResult result = reader.Result();
        result.wroteInPlace = out.WroteInPlace();
        return result;
    }
    in.CheckUnchanged();
    write(reader.Finish());
    out.Commit();
    return reader.Result();
}

} // namespace hushnote
