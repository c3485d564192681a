#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What the page's text and file commands share.
namespace hushnote::web {

// The words of the last command that failed, for hn_words().
std::string& LastWords();

// What the last file's download is called, in words, for hn_words().
std::string& SavedWords();

// Keeps words for hn_words() and returns -outcome.
int32_t Fail(int32_t outcome, std::string words);

// Copies bytes to out when they fit in outCap, and returns their count.
int32_t Put(std::string_view bytes, void* out, int32_t outCap);

// True, with the words of -HN_FAILED kept for hn_words(), when n bytes do not
// fit in an out of outCap bytes.
bool TooSmall(std::size_t n, int32_t outCap);

// n bytes at p; nothing for a null pointer or a count below 1.
std::string_view View(const char* p, int32_t n);

} // namespace hushnote::web
