#include "engine/SecuredFile.h"

#include "common/message.h"
#include "engine/VBEncrypt.h"

#include <cstdio>
#include <utility>

namespace hushnote {
namespace {

std::string ForeignByte(std::int64_t position, char c) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    return "byte " + Grouped(position) + " is " + hex + ", which secured text never holds";
}

} // namespace

SecuredFileReader::SecuredFileReader(Decoder decode) : decode_(std::move(decode)) {
    if (!decode_) {
        decode_ = [](std::string_view groups) { return VBEncrypt::DecodePrintable(groups); };
    }
}

// Drops the line breaks of a run just read; false when it holds a byte that
// no secured file holds.
bool SecuredFileReader::Secured(std::string& run, std::size_t from) {
    const auto raw = static_cast<std::int64_t>(run.size() - from);
    if (const auto at = VBEncrypt::KeepSecuredChars(run, from)) {
        result_.outcome = DeSecureOutcome::NotSecured;
        result_.reason =
            ForeignByte(position_ + static_cast<std::int64_t>(*at - from) + 1, run[*at]);
        return false;
    }
    position_ += raw;
    return true;
}

std::size_t SecuredFileReader::HeaderWanted() const {
    return headerRead_ ? 0 : VBEncrypt::kHeaderChars - header_.size();
}

bool SecuredFileReader::TakeHeader(const std::string& run, std::size_t& used) {
    // Taken no further than the header wants, so that a line break inside it
    // leaves no body byte read as the header's.
    while (HeaderWanted() > 0 && used < run.size()) {
        std::string part = run.substr(used, HeaderWanted());
        used += part.size();
        if (!Secured(part)) {
            return false;
        }
        header_ += part;
    }
    return HeaderWanted() > 0 || HeaderLength() >= 0;
}

std::int64_t SecuredFileReader::HeaderLength() {
    if (!headerRead_) {
        headerRead_ = true;
        length_ = VBEncrypt::DecodedHeaderLength(VBEncrypt::DecodePrintable(header_));
        if (length_ < 0) {
            result_.outcome = DeSecureOutcome::NotSecured;
        }
        left_ = length_;
    }
    return length_;
}

std::string SecuredFileReader::Keep(std::string plain) {
    if (left_ < static_cast<std::int64_t>(plain.size())) {
        plain.resize(static_cast<std::size_t>(left_));
    }
    left_ -= static_cast<std::int64_t>(plain.size());
    return plain;
}

std::optional<std::string> SecuredFileReader::Take(std::string& run) {
    std::size_t used = 0;
    if (!headerRead_ && !TakeHeader(run, used)) {
        return std::nullopt;
    }
    return TakeBody(run, used);
}

std::optional<std::string> SecuredFileReader::TakeBody(std::string& run, std::size_t from) {
    if (!Secured(run, from)) {
        return std::nullopt;
    }
    std::string_view text = std::string_view(run).substr(from);
    if (!carry_.empty()) {
        carry_ += text;
        text = carry_;
    }
    const std::size_t whole = text.size() / 4 * 4;
    std::string plain;
    if (whole > 0) {
        decodedAny_ = true;
        plain = Keep(decode_(text.substr(0, whole)));
    }
    carry_ = std::string(text.substr(whole));
    return plain;
}

std::string SecuredFileReader::Finish() {
    std::string plain;
    if (HeaderLength() < 0) {
        return plain;
    }
    if (!decodedAny_ && !carry_.empty()) {
        plain = Keep(VBEncrypt::DecodePrintable(carry_));
    }
    if (left_ > 0) {
        result_.outcome = DeSecureOutcome::Damaged;
        result_.expected = length_;
        result_.recovered = length_ - left_;
    }
    return plain;
}

SecuredFileBody ReadSecuredFile(std::string_view file) {
    SecuredFileBody body;
    SecuredFileReader reader;
    std::string run(file);
    if (const auto plain = reader.Take(run)) {
        body.ciphered = *plain + reader.Finish();
    }
    body.result = reader.Result();
    if (body.result.outcome == DeSecureOutcome::NotSecured) {
        body.ciphered.clear();
    }
    return body;
}

} // namespace hushnote
