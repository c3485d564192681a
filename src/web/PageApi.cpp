// The receiver page's text commands and words: the window's Secure and
// De-Secure on the same engine, behind a C interface that the page's script
// calls with buffers it owns.

#include "web/PageState.h"
#include "web/hushnote_page.h"

#include "common/codepage.h"
#include "common/error.h"
#include "common/message.h"
#include "common/secret.h"
#include "engine/LineBreaks.h"
#include "engine/PastedText.h"
#include "engine/Plausibility.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace hushnote::web {

std::string& LastWords() {
    static std::string words;
    return words;
}

std::string& SavedWords() {
    static std::string words;
    return words;
}

int32_t Fail(int32_t outcome, std::string words) {
    LastWords() = std::move(words);
    return -outcome;
}

bool TooSmall(std::size_t n, int32_t outCap) {
    if (outCap >= 0 && n <= static_cast<std::size_t>(outCap)) {
        return false;
    }
    Fail(HN_FAILED, "Internal error: the page's buffer is too small.");
    return true;
}

int32_t Put(std::string_view bytes, void* out, int32_t outCap) {
    if (TooSmall(bytes.size(), outCap)) {
        return -HN_FAILED;
    }
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int32_t>(bytes.size());
}

std::string_view View(const char* p, int32_t n) {
    return n > 0 && p != nullptr ? std::string_view(p, static_cast<std::size_t>(n))
                                 : std::string_view();
}

namespace {

// The window counts what its box holds: UTF-16 units, a line break as CR LF.
// Counted before any conversion, so that an over-long message is refused as
// too long even when it also holds a character the code page lacks.
std::size_t WindowLength(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) == 0x80) {
            continue; // a continuation byte: its character is counted already
        }
        n += c >= 0xF0 ? 2 : 1; // beyond the BMP: a surrogate pair
        if (c == '\n' && (i == 0 || utf8[i - 1] != '\r')) {
            ++n;
        }
    }
    return n;
}

// The message box shows CR LF and a lone CR as the page's LF.
std::string BoxText(std::string_view codes) {
    Secret lf(linebreaks::ToLf(codes));
    for (char& c : lf.value()) {
        if (c == '\r') {
            c = '\n';
        }
    }
    return codepage::CodesToUtf8(lf.value());
}

template <class Command> int32_t Guarded(Command command) {
    try {
        return command();
    } catch (const Failure& f) {
        return Fail(HN_FAILED, f.description());
    } catch (const std::bad_alloc&) {
        return Fail(HN_FAILED, std::string(kOutOfMemory));
    }
}

} // namespace
} // namespace hushnote::web

using namespace hushnote;
using namespace hushnote::web;

namespace {

std::string WordsFor(int32_t outcome) {
    switch (outcome) {
    case HN_OK:
        return "";
    case HN_NO_MESSAGE:
        return std::string(words::kNoMessageToSecure);
    case HN_NO_MESSAGE_DESECURE:
        return std::string(words::kNoMessageToDeSecure);
    case HN_PASSWORD_BLANK:
        return std::string(words::kBlankPassword);
    case HN_MESSAGE_LIMIT:
        return std::string(words::kMessageLimit);
    case HN_WRONG_PASSWORD:
        return std::string(words::kWrongPasswordOnPage);
    case HN_SECURE_AGAIN:
        return std::string(words::kSecureAgain) + " " + std::string(words::kPressSecureAgain);
    case HN_COPIED:
        return std::string(words::kTextCopied);
    case HN_SECURING_TEXT:
        return std::string(words::kSecuringText);
    case HN_DESECURING_TEXT:
        return std::string(words::kDeSecuringText);
    case HN_SECURING_FILE:
        return std::string(words::kSecuringFile);
    case HN_DESECURING_FILE:
        return std::string(words::kDeSecuringFile);
    case HN_COPY_BY_HAND:
        return "The browser keeps the clipboard closed: the text is selected, press Ctrl+C.";
    case HN_FILE_SAVED:
        return SavedWords();
    case HN_NOT_SECURED_TEXT:
        return std::string(words::kNotSecuredText) + " " + std::string(words::kUndoGetsPasteBack);
    case HN_FAILED:
    case HN_NOT_SECURED:
    case HN_DAMAGED:
    case HN_CHANGED_TEXT:
        return LastWords();
    default:
        return "";
    }
}

} // namespace

extern "C" int32_t hn_words_length(int32_t outcome) {
    return static_cast<int32_t>(WordsFor(outcome).size());
}

extern "C" int32_t hn_words(int32_t outcome, char* out, int32_t out_cap) {
    return Put(WordsFor(outcome), out, out_cap);
}

extern "C" int32_t hn_progress_words(double remaining, char* out, int32_t out_cap) {
    return Put(std::string(words::kBytesLeft) + Grouped(static_cast<long long>(remaining)), out,
               out_cap);
}

extern "C" int32_t hn_secure_text(const char* message, int32_t message_len, const char* password,
                                  int32_t password_len, char* out, int32_t out_cap) {
    const std::string_view text = View(message, message_len);
    if (text.empty()) {
        return -HN_NO_MESSAGE;
    }
    if (password_len <= 0) {
        return -HN_PASSWORD_BLANK;
    }
    if (WindowLength(text) > VBEncrypt::kMessageLimit) {
        return -HN_MESSAGE_LIMIT;
    }
    return Guarded([&] {
        const Secret raw(codepage::Utf8ToCodes(text, codepage::Purpose::Securing));
        const Secret codes(linebreaks::ToCrLf(raw.value()));
        const Secret key(codepage::PasswordToCodes(View(password, password_len)));
        const std::string secured = VBEncrypt::SecureMessage(codes.value(), key.value());
        return Put(secured, out, out_cap);
    });
}

extern "C" int32_t hn_desecure_text(const char* text, int32_t text_len, const char* password,
                                    int32_t password_len, char* out, int32_t out_cap,
                                    int32_t* outcome) {
    *outcome = HN_OK;
    if (text_len <= 0) {
        return -HN_NO_MESSAGE_DESECURE;
    }
    if (password_len <= 0) {
        return -HN_PASSWORD_BLANK;
    }
    return Guarded([&] {
        const std::string_view pasted = View(text, text_len);
        const pasted::Reading reading = pasted::FindSecuredText(pasted);
        // Text that holds no secured text goes the way it always went, so
        // that it still gives "ERR" or "ERR2"; the status line says why.
        const std::string secured = reading.fit != pasted::Fit::NotSecured
                                        ? reading.text
                                        : linebreaks::JoinLines(codepage::Utf8ToCodes(
                                              pasted, codepage::Purpose::DeSecuring));
        const Secret key(codepage::PasswordToCodes(View(password, password_len)));
        const Secret result(VBEncrypt::DeSecureMessage(secured, key.value()));
        switch (reading.fit) {
        case pasted::Fit::Whole:
            *outcome = plausibility::LooksLikeText(result.value()) ? HN_OK : HN_WRONG_PASSWORD;
            break;
        case pasted::Fit::Short:
        case pasted::Fit::Long:
            *outcome = HN_CHANGED_TEXT;
            LastWords() = words::ChangedText(reading.Difference()) + " " +
                          std::string(words::kUndoGetsPasteBack);
            break;
        case pasted::Fit::NotSecured:
            *outcome = HN_NOT_SECURED_TEXT;
            break;
        }
        Secret shown(BoxText(result.value()));
        return Put(shown.value(), out, out_cap);
    });
}

extern "C" int32_t hn_chat_form(const char* text, int32_t text_len, char* out, int32_t out_cap) {
    return Guarded([&] {
        const pasted::Reading reading = pasted::FindSecuredText(View(text, text_len));
        if (reading.fit != pasted::Fit::Whole) {
            return -HN_NOT_SECURED_TEXT;
        }
        return Put(pasted::ChatForm(reading.text), out, out_cap);
    });
}
