#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>

// Reading ahead and writing behind on a second thread, so that a file
// operation's disk work overlaps the cipher work of the caller's thread. The
// cipher state never leaves the caller's thread: these move bytes only, and
// report failures as the errno of the call that failed, for the caller to
// word and throw.
namespace hushnote::fileio {

// Blocks of bytes handed from one thread to another, at most a fixed number at
// a time. While a block is held (between Wait… and Publish or Release) only the
// holding side touches it. A waiting side is woken only once half the blocks
// are ready for it: in a virtual machine every wake-up costs tens of
// microseconds, one per block would cost more than the overlap gains.
class BlockRing {
public:
    BlockRing(std::size_t blocks, std::size_t blockBytes);

    // The producer's next empty block, waiting for one; empty once stopped.
    std::span<char> WaitEmpty();
    void Publish(std::size_t bytes);
    // No more blocks will come.
    void Close();

    // The consumer's next full block, waiting for one; empty once closed and
    // drained, or stopped.
    std::span<const char> WaitFull();
    void Release();

    // Either side gives up: wakes the other, whose waits now return empty.
    void Stop();

private:
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t bytes = 0;
    };
    std::mutex mutex_;
    std::condition_variable emptyReady_;
    std::condition_variable fullReady_;
    std::unique_ptr<Block[]> blocks_;
    std::size_t count_;
    std::size_t blockBytes_;
    std::size_t head_ = 0; // the oldest full block
    std::size_t full_ = 0;
    bool producerWaits_ = false;
    bool consumerWaits_ = false;
    bool closed_ = false;
    bool stopped_ = false;
};

// Reads a regular file's descriptor from its current offset to its end, or
// to limit bytes, on a second thread.
class ReadAhead {
public:
    ReadAhead(int fd, std::int64_t limit);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Up to n bytes; fewer only at the end of the data or on a failure.
    std::size_t Read(char* buffer, std::size_t n);
    // The errno of a failed read, 0 if none failed.
    int failure() const;

private:
    void Run(int fd, std::int64_t limit);

    BlockRing ring_;
    std::span<const char> block_; // what is left of the block being taken
    std::atomic<int> failure_ = 0;
    std::thread thread_;
};

// Writes to a regular file's descriptor on a second thread, and asks the
// kernel every few MiB to start putting what was written on disk, so that a
// later sync has little left to wait for.
class WriteBehind {
public:
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 18;

    explicit WriteBehind(int fd);
    ~WriteBehind(); // abandons what was not written yet
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // False once a write failed; failure() says why.
    bool Write(std::string_view data);
    // Room for n bytes (n at most kBlockBytes) to be filled in place and
    // handed over by Fill, which saves a copy; nullptr once a write failed.
    char* Reserve(std::size_t n);
    void Fill(std::size_t n);
    // Waits until everything given was written; false if anything failed.
    bool Finish();
    int failure() const;

private:
    void Run(int fd);

    BlockRing ring_;
    std::span<char> block_; // the block being filled
    std::size_t filled_ = 0;
    std::atomic<int> failure_ = 0;
    std::thread thread_;
};

// Writes all of data to fd; the errno of the failure, or 0. A write that a
// signal interrupted fails with EINTR, even part-way, so that an interrupt
// reaches a caller blocked on a full pipe.
int WriteAll(int fd, std::string_view data);

} // namespace hushnote::fileio
