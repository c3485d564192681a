#pragma once

#include "engine/VBEncrypt.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The rules of reading a secured file, apart from where its bytes come from:
// the file layer feeds them from a disk, the page from memory. Nothing here
// reads, writes or ciphers; the caller deciphers what it is handed.
namespace hushnote {

// What de-securing a file made of its input, with the numbers it has always
// had.
enum class DeSecureOutcome : std::int16_t {
    Done = 0,
    NotSecured = 1, // nothing was written, unless wroteInPlace
    Damaged = 2,    // the body holds less than its header says; what it holds was written
};

struct DeSecureResult {
    DeSecureOutcome outcome = DeSecureOutcome::Done;
    // NotSecured: the first byte no secured file holds ("byte 9 is 0x20,
    // ..."); empty when the header cannot be read.
    std::string reason;
    std::int64_t expected = 0;  // Damaged: the length the header gives
    std::int64_t recovered = 0; // Damaged: the bytes written
    // NotSecured: a foreign byte came after part of the output went to a pipe,
    // a device or standard output, where it stays.
    bool wroteInPlace = false;
};

// Reads a secured file fed in runs of any size, header and body alike. The
// header is read first, and judged as soon as it is whole; line breaks
// anywhere are skipped, as a mail program may have added them, and a group of
// 4 characters split by a run or a line break is carried to the next run.
class SecuredFileReader {
public:
    // Decodes whole groups of 4 characters; the built-in decoder by default,
    // the library's in library mode. The header is always read by the
    // built-in decoder, so both modes accept and refuse the same files.
    using Decoder = std::function<std::string(std::string_view)>;
    explicit SecuredFileReader(Decoder decode = {});

    // Takes the next run of the input, in place, and returns what the whole
    // groups of the body in it decode to, still ciphered, cut to what the
    // header leaves. Nothing when the input is not a secured file: a byte no
    // secured file holds, or a header that cannot be read (Result() says
    // which).
    std::optional<std::string> Take(std::string& run);

    // How many more bytes the header wants; 0 once it is whole or read. A
    // caller that must not read past the header reads no more than this.
    std::size_t HeaderWanted() const;
    // The length the header gives, once it is whole or the input ended;
    // -1, and Result() is NotSecured, when it cannot be read.
    std::int64_t HeaderLength();

    // The input ended: reads what header there is, if it never became whole,
    // and returns what a body of 1 to 3 characters decodes to, as the
    // built-in decoder reads it in secured text, so a file and the same text
    // agree. Empty otherwise.
    std::string Finish();

    // Input bytes taken so far, line breaks included.
    std::int64_t Position() const { return position_; }
    // The outcome so far; Damaged after Finish when the body held less than
    // the header gives.
    const DeSecureResult& Result() const { return result_; }

private:
    bool Secured(std::string& run, std::size_t from = 0);
    std::string Keep(std::string plain);
    // The header's part of the front of run, counted in used; false when it
    // holds a foreign byte or the header, once whole, cannot be read.
    bool TakeHeader(const std::string& run, std::size_t& used);
    // The body's part of run: all of it from index from on.
    std::optional<std::string> TakeBody(std::string& run, std::size_t from);

    Decoder decode_;
    DeSecureResult result_;
    std::string header_;
    std::string carry_; // the characters of a group that a line break or a run split
    std::int64_t position_ = 0;
    std::int64_t length_ = -1;
    std::int64_t left_ = 0; // bytes the header still promises
    bool headerRead_ = false;
    bool decodedAny_ = false;
};

// A whole secured file in memory, read by the built-in decoder: the outcome,
// and the body's bytes still to decipher (none when it is NotSecured).
struct SecuredFileBody {
    DeSecureResult result;
    std::string ciphered;
};
SecuredFileBody ReadSecuredFile(std::string_view file);

} // namespace hushnote
