// SecuredFileReader fed a file in runs cut where the fuzzer says, against the
// built-in reading of the whole file in one run: the same outcome, the same
// foreign byte at the same place, the same damage, and the same bytes, with
// the built-in decoder and with the library's. What one run gives is pinned
// byte class by byte class in tests/engine/securedfile_test.cpp.
//
// Input: byte 0 holds in its low 4 bits how many run lengths follow (0 to 15,
// each 0 to 255, used in turn; none, or all 0, feeds the file as one run), and
// in bit 4 whether the library decodes the body; the rest is the file.
#include "engine/SecuredFile.h"
#include "fncryptlib/fncryptlib.h"

#include <cstdlib>

namespace {

using hushnote::DeSecureOutcome;
using hushnote::DeSecureResult;
using hushnote::SecuredFileReader;

struct Reading {
    DeSecureResult result;
    std::string ciphered; // only when the file is read
    std::int64_t position = 0;
};

// The reader driven as its callers drive it: every run, of any size, to
// Take, then Finish.
Reading InRuns(std::string_view file, std::string_view cuts, SecuredFileReader reader) {
    Reading r;
    bool refused = false;
    for (std::size_t k = 0; !refused && (!file.empty() || k < cuts.size()); ++k) {
        std::string_view cut = file;
        if (!cuts.empty()) {
            cut = cut.substr(0, static_cast<unsigned char>(cuts[k % cuts.size()]));
        }
        file.remove_prefix(cut.size());
        std::string run(cut);
        const auto plain = reader.Take(run);
        refused = !plain;
        r.ciphered += plain.value_or("");
    }
    if (!refused) {
        r.ciphered += reader.Finish();
        refused = reader.Result().outcome == DeSecureOutcome::NotSecured;
    }
    if (!refused) {
        r.position = reader.Position();
    } else {
        r.ciphered.clear();
    }
    r.result = reader.Result();
    return r;
}

void Same(const Reading& a, const Reading& b) {
    if (a.result.outcome != b.result.outcome || a.result.reason != b.result.reason ||
        a.result.expected != b.result.expected || a.result.recovered != b.result.recovered ||
        a.result.wroteInPlace != b.result.wroteInPlace || a.ciphered != b.ciphered ||
        a.position != b.position) {
        std::abort();
    }
}

std::string LibraryDecode(std::string_view groups) {
    std::string out(groups.size(), ' ');
    const std::int32_t n = DecodeText(reinterpret_cast<const std::uint8_t*>(groups.data()),
                                      static_cast<std::int32_t>(groups.size()),
                                      reinterpret_cast<std::uint8_t*>(out.data()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cutCount = std::min<std::size_t>(data[0] & 15, size - 1);
    std::string_view cuts = input.substr(1, cutCount);
    if (cuts.find_first_not_of('\0') == std::string_view::npos) {
        cuts = {};
    }
    const std::string_view file = input.substr(1 + cutCount);
    Same(InRuns(file, {}, SecuredFileReader()),
         InRuns(file, cuts,
                (data[0] & 16) != 0 ? SecuredFileReader(LibraryDecode) : SecuredFileReader()));
    return 0;
}
