#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The built-in cipher ("VB Slow Mode"): RC4 keyed directly with the password's
// codes, the printable 3-to-4 encoding, and secured text. Every string here is
// a sequence of single-byte codes (one char per code); conversion from and to
// Unicode happens at the edges of the program, never in here.
namespace hushnote::VBEncrypt {

// The process-wide cipher state. One file operation carries its keystream
// across pieces in it, so it stays process-wide; no two cipher operations may
// interleave.
struct CipherState {
    std::array<std::int16_t, 256> SBox{};
    std::array<std::int16_t, 256> KeyTable{};
    std::int16_t StreamI = 0;
    std::int16_t StreamJ = 0;
};

// Read-only view, for tests and for checking that the state was wiped.
const CipherState& State();

// Zero the whole state, so that no key-dependent value outlives a command.
void WipeState();

// Keys RC4 with the password's codes (only the first 256 take part) and
// restarts the stream. Throws Failure(kErrInvalidArgument) for an empty
// password, before the state changes.
void KeyCipher(std::string_view password);

// The keyed state's lifetime: keys the cipher as KeyCipher does and wipes the
// state when the scope that holds it ends, however it ends. Every command
// keys through one, so none has to remember to wipe.
class KeyedState {
public:
    explicit KeyedState(std::string_view password) { KeyCipher(password); }
    ~KeyedState() { WipeState(); }
    KeyedState(const KeyedState&) = delete;
    KeyedState& operator=(const KeyedState&) = delete;
};

// b XOR the next keystream byte; advances the stream one step.
std::uint8_t CipherNextByte(std::uint8_t b);

// CipherNextByte over n bytes in place, in order: how a file is ciphered
// piece by piece with the stream running on.
void CipherNextBytes(char* data, std::size_t n);

// RC4 of text with a fresh keystream from password; "" when the password is
// empty. Ciphering and deciphering are the same operation. The state is wiped
// when it returns: the text commands (SecureMessage, DeSecure) key only here.
std::string CipherString(std::string_view text, std::string_view password);

// Every 3 codes become 4 characters "?" to "~"; a last partial group is filled
// with spaces. Throws Failure(kErrInvalidArgument) for an empty input.
std::string EncodePrintable(std::string_view s);

// The characters EncodePrintable makes of n codes: 4 for every 3 begun.
std::size_t EncodedSize(std::size_t n);

// EncodePrintable into out, which holds EncodedSize(s.size()) characters and
// lies apart from s; returns how many it wrote. Any input, the empty one too:
// a caller that keeps its own buffers, piece after piece, allocates nothing.
std::size_t EncodePrintableInto(std::string_view s, char* out);

// The inverse for characters "?" to "~". Characters below "?" count as "?",
// "0" reads as "|", up to 3 characters after the last whole group are
// ignored. Fewer than 4 characters give as many spaces; a group whose first
// character has a code of 127 or more makes the whole result "".
std::string DecodePrintable(std::string_view s);

// Secured text: 8-character length header, then the encoded cipher text.
// Throws Failure for an empty message or password, or a message of more than
// 16,777,215 codes.
std::string SecureMessage(std::string_view message, std::string_view password);

enum class TextOutcome {
    Message,          // the message is in TextResult::message
    UnreadableHeader, // the header decodes to fewer than 3 codes
    NoBody,           // nothing follows the header
    UnreadableBody,   // the body decodes to nothing: the message is empty
    Failed,           // a failure inside, described in TextResult::failure
};

struct TextResult {
    TextOutcome outcome = TextOutcome::Message;
    std::string message; // cut to the length the header gives
    std::string failure; // the failure's description, when Failed
};

// Secured text back to its message, with what went wrong as an outcome.
// Never throws.
TextResult DeSecure(std::string_view text, std::string_view password);

// An outcome as the De-Secure button shows it: the message, or "ERR"
// (unreadable header), "ERR2" (no body), or "VBError: " + description for any
// failure inside. The one place these markers are made, for either cipher.
std::string ShownMessage(TextResult result);

// ShownMessage of DeSecure. Never throws.
std::string DeSecureMessage(std::string_view text, std::string_view password);

// The 6 codes a header holds for a length of n codes (0..16,777,215), before
// they are encoded; throws Failure(kErrInvalidArgument) beyond that.
std::string LengthHeaderCodes(std::int64_t n);

// LengthHeaderCodes encoded: the 8-character header. Secured files share it.
std::string EncodeLengthHeader(std::int64_t n);

// The length held by a decoded header, or -1 when it has fewer than 3 codes.
std::int64_t DecodedHeaderLength(std::string_view decodedHeader);

// Drops the line breaks from text in place, from index from on (a mail
// program may have added them; the bytes before from stay as they are), and
// checks that the rest is secured text: "?" to "~", and "0", which the decoder
// has always read as "|". Returns the index of the first byte that is neither,
// leaving text partly compacted, or nothing when all is sound.
std::optional<std::size_t> KeepSecuredChars(std::string& text, std::size_t from = 0);

inline constexpr std::int64_t kMaxLength = 16'777'215;
// The longest message the Secure command takes (line breaks count two), so
// that secured text stays short enough for a mail or a chat.
inline constexpr std::size_t kMessageLimit = 20'000;
inline constexpr std::size_t kHeaderChars = 8;
// More than the longest secured text (16,777,215 bytes, encoded) with line
// breaks added on the way: what a reader takes from a source of unknown
// length before it says the input cannot be secured text.
inline constexpr std::int64_t kMaxSecuredInput = std::int64_t{64} << 20;

} // namespace hushnote::VBEncrypt
