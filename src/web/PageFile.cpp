// The receiver page's file commands: a file secured or de-secured piece by
// piece, with the reading rules of the program's own file commands, so the
// page's downloads are byte for byte what hushnote-cli writes.

#include "web/PageState.h"
#include "web/hushnote_page.h"

#include "common/codepage.h"
#include "common/error.h"
#include "common/message.h"
#include "common/secret.h"
#include "engine/VBEncrypt.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace hushnote::web {
namespace {

constexpr std::string_view kSecuredSuffix = ".hush";
constexpr std::string_view kDeSecuredSuffix = ".de-secured";

// One file at a time: the engine's keystream runs on from piece to piece.
struct FileWork {
    bool securing = false;
    std::string name;          // as the user picked it, for the words
    std::string output;        // the download's name
    std::int64_t position = 0; // bytes of the input taken, to name a foreign one
    std::string header;        // de-securing: the header's characters so far
    std::int64_t length = -1;  // de-securing: the length the header gives
    std::int64_t total = 0;    // de-securing: bytes still to write
    std::string carry;         // characters of a group a piece or a line break split
    bool decodedAny = false;
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

int32_t NotSecured(std::string_view reason) {
    FileWork& w = Work();
    return Fail(HN_NOT_SECURED, QuotedPath(w.name) + " is not a secured file" +
                                    (reason.empty() ? "" : ": " + std::string(reason)) +
                                    ". Nothing was written.");
}

int32_t ForeignByte(std::int64_t position, char c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    return NotSecured("byte " + Grouped(position) + " is " + hex +
                      ", which secured text never holds");
}

// Deciphers decoded bytes and cuts them to what the header still allows.
std::string Plain(std::string decoded) {
    FileWork& w = Work();
    VBEncrypt::CipherNextBytes(decoded.data(), decoded.size());
    if (w.total < static_cast<std::int64_t>(decoded.size())) {
        decoded.resize(static_cast<std::size_t>(w.total));
    }
    w.total -= static_cast<std::int64_t>(decoded.size());
    return decoded;
}

bool ReadHeader() {
    FileWork& w = Work();
    w.length = VBEncrypt::DecodedHeaderLength(VBEncrypt::DecodePrintable(w.header));
    w.total = w.length;
    return w.length >= 0;
}

int32_t DeSecurePiece(std::string_view in, uint8_t* out, int32_t outCap) {
    FileWork& w = Work();
    std::size_t at = 0;
    // The header comes first and alone: a file whose header cannot be read is
    // refused without a word about the bytes after it.
    for (; w.header.size() < VBEncrypt::kHeaderChars && at < in.size(); ++at) {
        const char c = in[at];
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (c == '0' || (c >= '?' && c <= '~')) {
            w.header += c;
            continue;
        }
        return ForeignByte(w.position + static_cast<std::int64_t>(at) + 1, c);
    }
    w.position += static_cast<std::int64_t>(at);
    if (w.length < 0 && w.header.size() == VBEncrypt::kHeaderChars && !ReadHeader()) {
        return NotSecured("");
    }
    std::string run(in.substr(at));
    if (const auto foreign = VBEncrypt::KeepSecuredChars(run)) {
        return ForeignByte(w.position + static_cast<std::int64_t>(*foreign) + 1, run[*foreign]);
    }
    w.position += static_cast<std::int64_t>(in.size() - at);
    w.carry += run;
    const std::size_t whole = w.carry.size() / 4 * 4;
    std::string plain;
    if (whole > 0) {
        w.decodedAny = true;
        plain = Plain(VBEncrypt::DecodePrintable(std::string_view(w.carry).substr(0, whole)));
        w.carry.erase(0, whole);
    }
    return Put(plain, out, outCap);
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
                                      int32_t head_len) {
    const std::string_view n = View(name, name_len);
    if (n.size() > kSecuredSuffix.size() && n.ends_with(kSecuredSuffix)) {
        return 1;
    }
    const std::string_view h = View(reinterpret_cast<const char*>(head), head_len);
    if (h.size() < VBEncrypt::kHeaderChars) {
        return 0;
    }
    // Codes 4 to 6 of every header are zero: its characters 5 to 8 are "?".
    for (std::size_t i = 0; i < VBEncrypt::kHeaderChars; ++i) {
        const char c = h[i];
        const bool ok = i >= 4 ? c == '?' : (c == '0' || (c >= '?' && c <= '~'));
        if (!ok) {
            return 0;
        }
    }
    return 1;
}

extern "C" int32_t hn_file_begin(int32_t securing, const char* name, int32_t name_len, double size,
                                 const char* password, int32_t password_len, char* out,
                                 int32_t out_cap) {
    FileWork& w = Work();
    w = FileWork{};
    w.securing = securing != 0;
    w.name = std::string(View(name, name_len));
    w.output = OutputName(w.securing, w.name);
    if (password_len <= 0) {
        return -HN_PASSWORD_BLANK;
    }
    if (w.securing && size > static_cast<double>(VBEncrypt::kMaxLength)) {
        return Fail(HN_FAILED, QuotedPath(w.name) + " is " + Grouped(static_cast<long long>(size)) +
                                   " bytes long; a secured file holds at most 16,777,215 bytes.");
    }
    try {
        const Secret key(codepage::PasswordToCodes(View(password, password_len)));
        VBEncrypt::KeyCipher(key.value());
        return Put(w.securing ? VBEncrypt::EncodeLengthHeader(static_cast<std::int64_t>(size)) : "",
                   out, out_cap);
    } catch (const Failure& f) {
        VBEncrypt::WipeState();
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
    std::string plain;
    if (!w.securing) {
        // A file shorter than a header is read as the program reads it: what
        // there is decodes as the header.
        if (w.length < 0 && !ReadHeader()) {
            VBEncrypt::WipeState();
            return NotSecured("");
        }
        if (!w.decodedAny && !w.carry.empty()) {
            plain = Plain(VBEncrypt::DecodePrintable(w.carry));
        }
        if (w.total > 0) {
            *outcome = HN_DAMAGED;
            LastWords() = QuotedPath(w.name) + " is damaged: it holds " +
                          Grouped(w.length - w.total) + " of the " + Grouped(w.length) +
                          " bytes its header gives. Those were written to " + QuotedPath(w.output) +
                          ".";
        }
    }
    VBEncrypt::WipeState();
    SavedWords() = "Saved as " + QuotedPath(w.output) + ".";
    return Put(plain, out, out_cap);
}
