#pragma once

#include <cstddef>
#include <string>
#include <utility>

// Passwords in memory: every copy the program makes is overwritten before it
// is freed, so a freed block holds no password.
namespace hushnote {

// Overwrites n bytes at p with zeros. The one place that wipes memory: a
// volatile pointer keeps the stores, where a plain memset right before a free
// may be optimised away.
inline void Wipe(void* p, std::size_t n) {
    volatile auto* bytes = static_cast<volatile unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = 0;
    }
}

// Overwrites the characters of s with zeros and empties it.
inline void Wipe(std::string& s) {
    // The whole buffer, not only the characters in use: a shorter string may
    // have held a longer one before.
    s.resize(s.capacity());
    Wipe(s.data(), s.size());
    s.clear();
}

// Holds a secret and wipes it when it goes out of scope.
class Secret {
public:
    Secret() = default;
    // Takes the characters over and wipes the string they came from.
    explicit Secret(std::string&& value) : value_(value) { Wipe(value); }
    ~Secret() { Wipe(value_); }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    // Moving copies the characters and wipes the source, so no copy is left
    // behind (a moved-from short string would keep its characters).
    Secret(Secret&& other) : value_(other.value_) { Wipe(other.value_); }
    Secret& operator=(Secret&& other) {
        if (this != &other) {
            Wipe(value_);
            value_ = other.value_;
            Wipe(other.value_);
        }
        return *this;
    }

    std::string& value() { return value_; }
    const std::string& value() const { return value_; }

private:
    std::string value_;
};

} // namespace hushnote
