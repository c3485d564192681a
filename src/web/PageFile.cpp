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

// Deciphers in place: the clear bytes never sit in a block that is freed
// unwiped.
Secret Plain(std::string ciphered) {
    Secret plain(std::move(ciphered));
    VBEncrypt::CipherNextBytes(plain.value().data(), plain.value().size());
    return plain;
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
    std::string run(in);
    const auto ciphered = reader.TakeBody(run);
    if (!ciphered) {
        return NotSecured();
    }
    return Put(Plain(*ciphered).value(), out, outCap);
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
                                   " bytes long; " + std::string(words::kSecuredFileLimit));
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
    try {
        if (!Work().securing) {
            return DeSecurePiece(piece, out, out_cap);
        }
        if (piece.empty()) {
            return 0;
        }
        std::string ciphered(piece);
        VBEncrypt::CipherNextBytes(ciphered.data(), ciphered.size());
        return Put(VBEncrypt::EncodePrintable(ciphered), out, out_cap);
    } catch (const std::bad_alloc&) {
        return Fail(HN_FAILED, "Out of memory");
    }
}

extern "C" int32_t hn_file_end(uint8_t* out, int32_t out_cap, int32_t* outcome) {
    FileWork& w = Work();
    *outcome = HN_OK;
    Secret plain;
    if (!w.securing) {
        // A file shorter than a header is read as the program reads it: what
        // there is decodes as the header.
        if (w.reader.HeaderWanted() > 0 && w.reader.HeaderLength() < 0) {
            return NotSecured();
        }
        plain = Plain(w.reader.Finish());
        if (w.reader.Result().outcome == DeSecureOutcome::Damaged) {
            *outcome = HN_DAMAGED;
            LastWords() = Outcome();
        }
    }
    w.key.reset();
    SavedWords() = words::OfferedAsDownload(QuotedPath(w.output));
    return Put(plain.value(), out, out_cap);
}
