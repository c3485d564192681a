// The receiver page's file commands: a file secured or de-secured piece by
// piece through the engine's own secured-file reader, so the page's downloads
// are byte for byte what hushnote-cli writes.

#include "web/PageState.h"
#include "web/hushnote_page.h"

#include "common/codepage.h"
#include "common/error.h"
#include "common/message.h"
#include "common/secret.h"
#include "engine/LineBreaks.h"
#include "engine/Plausibility.h"
#include "engine/SecuredFile.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"

#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace hushnote::web {
namespace {

constexpr std::string_view kSecuredSuffix = ".hush";
constexpr std::string_view kDeSecuredSuffix = ".de-secured";

// One file at a time: the engine's keystream runs on from piece to piece.
struct FileWork {
    bool securing = false;
    std::string name;   // as the user picked it, for the words
    std::string output; // the download's name
    std::optional<VBEncrypt::KeyedState> key;
    SecuredFileReader reader;
    // A piece on its way: securing ciphers it here, de-securing drops its
    // line breaks here. Kept from piece to piece, so a piece allocates
    // nothing; it never holds clear bytes once a piece is done.
    std::string piece;
};

FileWork& Work() {
    static FileWork work;
    return work;
}

std::string OutputName(bool securing, std::string_view name) {
    if (securing) {
        return std::string(name) + std::string(kSecuredSuffix);
    }
    if (name.size() > kSecuredSuffix.size() && name.ends_with(kSecuredSuffix)) {
        return std::string(name.substr(0, name.size() - kSecuredSuffix.size()));
    }
    return std::string(name) + std::string(kDeSecuredSuffix);
}

// The words for the reader's outcome, as the command-line tool words them.
std::string Outcome() {
    const FileWork& w = Work();
    return words::FileOutcome(w.reader.Result(), QuotedPath(w.name), QuotedPath(w.output),
                              {.offersDownload = true});
}

int32_t NotSecured() {
    Work().key.reset();
    return Fail(HN_NOT_SECURED, Outcome());
}

// Deciphers in the caller's buffer: the clear bytes are never in a block of
// the engine's own, and the page wipes its buffer when the file is done.
int32_t PutDeciphered(std::string_view ciphered, uint8_t* out, int32_t outCap) {
    const int32_t n = Put(ciphered, out, outCap);
    if (n > 0) {
        VBEncrypt::CipherNextBytes(reinterpret_cast<char*>(out), static_cast<std::size_t>(n));
    }
    return n;
}

// Ciphers and encodes a piece into the caller's buffer, with no copy but the
// one the cipher works on.
int32_t SecurePiece(std::string_view in, uint8_t* out, int32_t outCap) {
    if (in.empty()) {
        return 0;
    }
    if (TooSmall(VBEncrypt::EncodedSize(in.size()), outCap)) {
        return -HN_FAILED;
    }
    std::string& piece = Work().piece;
    piece.assign(in);
    VBEncrypt::CipherNextBytes(piece.data(), piece.size());
    return static_cast<int32_t>(
        VBEncrypt::EncodePrintableInto(piece, reinterpret_cast<char*>(out)));
}

int32_t DeSecurePiece(std::string_view in, uint8_t* out, int32_t outCap) {
    SecuredFileReader& reader = Work().reader;
    // The header comes first and alone: a file whose header cannot be read is
    // refused without a word about the bytes after it.
    if (reader.HeaderWanted() > 0) {
        while (reader.HeaderWanted() > 0 && !in.empty()) {
            const std::string_view run = in.substr(0, reader.HeaderWanted());
            in.remove_prefix(run.size());
            if (!reader.TakeHeader(std::string(run))) {
                return NotSecured();
            }
        }
        if (reader.HeaderWanted() == 0 && reader.HeaderLength() < 0) {
            return NotSecured();
        }
    }
    std::string& run = Work().piece;
    run.assign(in);
    const auto ciphered = reader.TakeBody(run);
    if (!ciphered) {
        return NotSecured();
    }
    return PutDeciphered(*ciphered, out, outCap);
}

} // namespace
} // namespace hushnote::web

using namespace hushnote;
using namespace hushnote::web;

extern "C" int32_t hn_output_name(int32_t securing, const char* name, int32_t name_len, char* out,
                                  int32_t out_cap) {
    return Put(OutputName(securing != 0, View(name, name_len)), out, out_cap);
}

extern "C" int32_t hn_file_is_secured(const char* name, int32_t name_len, const uint8_t* head,
                                      int32_t head_len, double size) {
    const std::string_view n = View(name, name_len);
    if (n.size() > kSecuredSuffix.size() && n.ends_with(kSecuredSuffix)) {
        return 1;
    }
    const std::string_view h = View(reinterpret_cast<const char*>(head), head_len);
    // An empty file secures to its header alone, which no secured text is, so
    // the header rule says no; as a whole file it reads back as empty.
    const bool emptySecured = static_cast<double>(h.size()) == size &&
                              linebreaks::JoinLines(h) == VBEncrypt::EncodeLengthHeader(0);
    return emptySecured || plausibility::IsSecuredHeader(h) ? 1 : 0;
}

extern "C" int32_t hn_file_begin(int32_t securing, const char* name, int32_t name_len, double size,
                                 const char* password, int32_t password_len, char* out,
                                 int32_t out_cap) {
    FileWork& w = Work();
    w.key.reset();
    w.reader = SecuredFileReader();
    w.securing = securing != 0;
    w.name = std::string(View(name, name_len));
    w.output = OutputName(w.securing, w.name);
    if (password_len <= 0) {
        return -HN_PASSWORD_BLANK;
    }
    if (w.securing && size > static_cast<double>(VBEncrypt::kMaxLength)) {
        return Fail(HN_FAILED, QuotedPath(w.name) + " is " + Grouped(static_cast<long long>(size)) +
                                   " bytes long; " + words::SecuredFileLimit());
    }
    try {
        const Secret key(codepage::PasswordToCodes(View(password, password_len)));
        w.key.emplace(key.value());
        return Put(w.securing ? VBEncrypt::EncodeLengthHeader(static_cast<std::int64_t>(size)) : "",
                   out, out_cap);
    } catch (const Failure& f) {
        w.key.reset();
        return Fail(HN_FAILED, f.description());
    }
}

extern "C" int32_t hn_file_piece(const uint8_t* in, int32_t in_len, uint8_t* out, int32_t out_cap) {
    const std::string_view piece = View(reinterpret_cast<const char*>(in), in_len);
    int32_t n = 0;
    try {
        n = Work().securing ? SecurePiece(piece, out, out_cap) : DeSecurePiece(piece, out, out_cap);
    } catch (const std::bad_alloc&) {
        n = Fail(HN_FAILED, std::string(kOutOfMemory));
    }
    // A piece that failed ends the file: the keystream goes at once.
    if (n < 0) {
        Work().key.reset();
    }
    return n;
}

extern "C" int32_t hn_file_end(uint8_t* out, int32_t out_cap, int32_t* outcome) {
    FileWork& w = Work();
    *outcome = HN_OK;
    w.piece = std::string();
    int32_t n = 0;
    if (!w.securing) {
        // A file shorter than a header is read as the program reads it: what
        // there is decodes as the header.
        if (w.reader.HeaderWanted() > 0 && w.reader.HeaderLength() < 0) {
            return NotSecured();
        }
        n = PutDeciphered(w.reader.Finish(), out, out_cap);
        if (w.reader.Result().outcome == DeSecureOutcome::Damaged) {
            *outcome = HN_DAMAGED;
            LastWords() = Outcome();
        }
    }
    w.key.reset();
    SavedWords() = words::OfferedAsDownload(QuotedPath(w.output));
    return n;
}
