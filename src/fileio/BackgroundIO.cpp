#include "fileio/BackgroundIO.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hushnote::fileio {
namespace {

constexpr std::size_t kBlocks = 4;
// Small enough that a block is still in the cache when the other thread takes it.
constexpr std::size_t kBlockBytes = WriteBehind::kBlockBytes;
// How much is written before the kernel is asked to start putting it on disk.
constexpr std::int64_t kWriteBackStep = std::int64_t{2} << 20;

// Starts a thread that takes no signals: they stay with the caller's thread,
// whose handlers expect to interrupt it and nothing else.
template <typename F> std::thread QuietThread(F&& run) {
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    struct Restore {
        sigset_t* old;
        ~Restore() { pthread_sigmask(SIG_SETMASK, old, nullptr); }
    } restore{&old};
    return std::thread(std::forward<F>(run));
}

} // namespace

BlockRing::BlockRing(std::size_t blocks, std::size_t blockBytes)
    : blocks_(std::make_unique<Block[]>(blocks)), count_(blocks), blockBytes_(blockBytes) {
    for (std::size_t i = 0; i < count_; ++i) {
        blocks_[i].data = std::make_unique<char[]>(blockBytes_);
    }
}

std::span<char> BlockRing::WaitEmpty() {
    std::unique_lock lock(mutex_);
    if (!stopped_ && full_ == count_) {
        producerWaits_ = true;
        emptyReady_.wait(lock, [this] { return stopped_ || full_ <= count_ / 2; });
        producerWaits_ = false;
    }
    if (stopped_) {
        return {};
    }
    return {blocks_[(head_ + full_) % count_].data.get(), blockBytes_};
}

void BlockRing::Publish(std::size_t bytes) {
    std::unique_lock lock(mutex_);
    blocks_[(head_ + full_) % count_].bytes = bytes;
    ++full_;
    if (consumerWaits_ && full_ >= (count_ + 1) / 2) {
        lock.unlock();
        fullReady_.notify_one();
    }
}

void BlockRing::Close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    fullReady_.notify_one();
}

std::span<const char> BlockRing::WaitFull() {
    std::unique_lock lock(mutex_);
    if (!stopped_ && !closed_ && full_ == 0) {
        consumerWaits_ = true;
        fullReady_.wait(lock, [this] { return stopped_ || closed_ || full_ >= (count_ + 1) / 2; });
        consumerWaits_ = false;
    }
    if (stopped_ || full_ == 0) {
        return {};
    }
    return {blocks_[head_].data.get(), blocks_[head_].bytes};
}

void BlockRing::Release() {
    std::unique_lock lock(mutex_);
    head_ = (head_ + 1) % count_;
    --full_;
    if (producerWaits_ && full_ <= count_ / 2) {
        lock.unlock();
        emptyReady_.notify_one();
    }
}

void BlockRing::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    emptyReady_.notify_one();
    fullReady_.notify_one();
}

ReadAhead::ReadAhead(int fd, std::int64_t limit) : ring_(kBlocks, kBlockBytes) {
    thread_ = QuietThread([this, fd, limit] { Run(fd, limit); });
}

ReadAhead::~ReadAhead() {
    ring_.Stop();
    thread_.join();
}

void ReadAhead::Run(int fd, std::int64_t limit) {
    for (std::int64_t left = limit; left > 0;) {
        const std::span<char> block = ring_.WaitEmpty();
        if (block.empty()) {
            return;
        }
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), left));
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, block.data() + got, want - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                failure_ = errno;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (got > 0) {
            ring_.Publish(got);
        }
        if (got < want) {
            break;
        }
        left -= static_cast<std::int64_t>(got);
    }
    ring_.Close();
}

std::size_t ReadAhead::Read(char* buffer, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        if (block_.empty()) {
            block_ = ring_.WaitFull();
            if (block_.empty()) {
                break;
            }
        }
        const std::size_t take = std::min(n - got, block_.size());
        std::memcpy(buffer + got, block_.data(), take);
        got += take;
        block_ = block_.subspan(take);
        if (block_.empty()) {
            ring_.Release();
        }
    }
    return got;
}

int ReadAhead::failure() const {
    return failure_;
}

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        // A pipe, a terminal or a socket that blocks takes less only when a
        // signal came: going on would swallow the interrupt. A file that
        // takes less tells why at the next write.
        // A pipe whose reader went away part-way is told as such.
        struct stat st = {};
        if (!data.empty() && ::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
            pollfd p{fd, POLLOUT, 0};
            return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0 ? EPIPE : EINTR;
        }
    }
    return 0;
}

WriteBehind::WriteBehind(int fd) : ring_(kBlocks, kBlockBytes) {
    thread_ = QuietThread([this, fd] { Run(fd); });
}

WriteBehind::~WriteBehind() {
    ring_.Stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WriteBehind::Run(int fd) {
    std::int64_t written = 0;
    std::int64_t writtenBack = 0;
    for (;;) {
        const std::span<const char> block = ring_.WaitFull();
        if (block.empty()) {
            return;
        }
        if (const int err = WriteAll(fd, {block.data(), block.size()})) {
            failure_ = err;
            ring_.Stop();
            return;
        }
        ring_.Release();
        written += static_cast<std::int64_t>(block.size());
        if (written - writtenBack >= kWriteBackStep) {
            // Starts the write-back without waiting for it; a failure shows
            // again at the sync that decides.
            (void)::sync_file_range(fd, writtenBack, written - writtenBack, SYNC_FILE_RANGE_WRITE);
            writtenBack = written;
        }
    }
}

bool WriteBehind::Write(std::string_view data) {
    while (!data.empty()) {
        const std::size_t take = std::min(data.size(), kBlockBytes);
        char* area = Reserve(take);
        if (area == nullptr) {
            return false;
        }
        std::memcpy(area, data.data(), take);
        Fill(take);
        data.remove_prefix(take);
    }
    return true;
}

char* WriteBehind::Reserve(std::size_t n) {
    if (!block_.empty() && block_.size() - filled_ < n) {
        ring_.Publish(filled_);
        block_ = {};
    }
    if (block_.empty()) {
        block_ = ring_.WaitEmpty();
        filled_ = 0;
        if (block_.empty()) {
            return nullptr;
        }
    }
    return block_.data() + filled_;
}

void WriteBehind::Fill(std::size_t n) {
    filled_ += n;
    if (filled_ == block_.size()) {
        ring_.Publish(filled_);
        block_ = {};
    }
}

bool WriteBehind::Finish() {
    if (!block_.empty() && filled_ > 0) {
        ring_.Publish(filled_);
    }
    block_ = {};
    ring_.Close();
    thread_.join();
    return failure_ == 0;
}

int WriteBehind::failure() const {
    return failure_;
}

} // namespace hushnote::fileio
