#pragma once

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <functional>

namespace hushnote::bench {

inline double Seconds(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The two arguments every timing tool takes: [bytes] [rounds].
struct Arguments {
    qint64 bytes;
    int rounds;
};

inline Arguments ParseArguments(int argc, char* argv[], qint64 defaultBytes) {
    return {argc > 1 ? QByteArray(argv[1]).toLongLong() : defaultBytes,
            argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3};
}

} // namespace hushnote::bench
