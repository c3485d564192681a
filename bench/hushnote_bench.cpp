// Throughput of the built-in engine, of the native library and of OpenSSL's
// libcrypto on the same data. Names are group/implementation/size; bench/
// ratios.sh divides each implementation by the "openssl" entry of its group.
#include "engine/PastedText.h"
#include "engine/SecuredFile.h"
#include "engine/VBEncrypt.h"
#include "fncryptlib/fncrypt_core.h"
#include "fncryptlib/fncryptlib.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/rc4.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace hushnote;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kSizes[] = {16 << 10, 16 << 20};
const std::string kPassword = "correct horse battery staple";

Bytes RandomBytes(std::size_t n) {
    std::mt19937_64 rng(n);
    Bytes b(n);
    for (auto& c : b) {
        c = static_cast<std::uint8_t>(rng());
    }
    return b;
}

std::string AsString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

const std::uint8_t* Key() {
    return reinterpret_cast<const std::uint8_t*>(kPassword.data());
}

void Throughput(benchmark::State& state, std::int64_t bytesPerIteration) {
    state.SetBytesProcessed(state.iterations() * bytesPerIteration);
}

// ---- The built-in engine ----

void VbCipherString(benchmark::State& state) {
    const std::string text = AsString(RandomBytes(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(VBEncrypt::CipherString(text, kPassword));
    }
    Throughput(state, state.range(0));
}

void VbEncodePrintable(benchmark::State& state) {
    const std::string data = AsString(RandomBytes(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(VBEncrypt::EncodePrintable(data));
    }
    Throughput(state, state.range(0));
}

void VbDecodePrintable(benchmark::State& state) {
    const std::string text = VBEncrypt::EncodePrintable(AsString(RandomBytes(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(VBEncrypt::DecodePrintable(text));
    }
    Throughput(state, state.range(0));
}

// ---- A secured file read from memory, whole and in the file command's runs ----

// The largest size is one byte more than a file can hold.
std::int64_t FileSize(const benchmark::State& state) {
    return std::min<std::int64_t>(state.range(0), VBEncrypt::kMaxLength);
}

std::string SecuredFileOf(std::int64_t n) {
    std::string body = AsString(RandomBytes(static_cast<std::size_t>(n)));
    return VBEncrypt::EncodeLengthHeader(n) + VBEncrypt::EncodePrintable(body);
}

void SecuredFileWhole(benchmark::State& state) {
    const std::string file = SecuredFileOf(FileSize(state));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadSecuredFile(file));
    }
    Throughput(state, FileSize(state));
}

std::size_t FeedRuns(std::string_view file, std::string& run) {
    SecuredFileReader reader;
    std::size_t got = 0;
    for (std::size_t at = 0; at < file.size(); at += 5460) {
        run.assign(file.substr(at, 5460));
        got += reader.Take(run)->size();
    }
    return got + reader.Finish().size();
}

void SecuredFileRuns(benchmark::State& state) {
    const std::string file = SecuredFileOf(FileSize(state));
    std::string run;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FeedRuns(file, run));
    }
    Throughput(state, FileSize(state));
}

// ---- RC4 ----

void Rc4OpenSsl(benchmark::State& state) {
    const Bytes in = RandomBytes(state.range(0));
    Bytes out(in.size());
    RC4_KEY key;
    RC4_set_key(&key, static_cast<int>(kPassword.size()), Key());
    for (auto _ : state) {
        RC4(&key, in.size(), in.data(), out.data());
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void Rc4Library(benchmark::State& state) {
    const Bytes in = RandomBytes(state.range(0));
    Bytes out(in.size());
    InitCipher(Key(), static_cast<std::int32_t>(kPassword.size()), 0);
    for (auto _ : state) {
        CipherBuffer(in.data(), static_cast<std::int32_t>(in.size()), out.data());
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void Rc4Loop(benchmark::State& state, fncrypt::Rc4Backend backend) {
    const fncrypt::Rc4Impl impl = fncrypt::Rc4For(backend);
    const Bytes in = RandomBytes(state.range(0));
    Bytes out(in.size());
    fncrypt::Rc4 rc4;
    fncrypt::Rc4Key(rc4, Key(), kPassword.size());
    for (auto _ : state) {
        impl.apply(rc4, in.data(), in.size(), out.data());
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

// ---- Encoding ----

void EncodeOpenSsl(benchmark::State& state) {
    const Bytes in = RandomBytes(state.range(0));
    Bytes out((in.size() + 2) / 3 * 4 + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EVP_EncodeBlock(out.data(), in.data(), static_cast<int>(in.size())));
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void EncodeLibrary(benchmark::State& state) {
    const Bytes in = RandomBytes(state.range(0));
    Bytes out((in.size() / 3 + 1) * 4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EncodeText(in.data(), static_cast<std::int32_t>(in.size()), out.data()));
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void EncodeBackend(benchmark::State& state, fncrypt::Backend backend) {
    const fncrypt::Codec codec = fncrypt::CodecFor(backend);
    const Bytes in = RandomBytes(state.range(0));
    Bytes out((in.size() / 3 + 1) * 4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(codec.encode(in.data(), in.size(), out.data()));
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

// ---- A pasted message: found, then de-secured (per message code) ----

// How secured text came back: as sent, wrapped by a mail at 76 with CR LF,
// quoted in a reply, fenced for a chat.
enum class Trip { Plain, Wrapped, Quoted, Fenced };

std::string AfterTrip(const std::string& s, Trip trip) {
    if (trip == Trip::Plain) {
        return s;
    }
    if (trip == Trip::Fenced) {
        return pasted::ChatForm(s);
    }
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += 72) {
        out += trip == Trip::Quoted ? "> " : "";
        out += s.substr(i, 72);
        out += "\r\n";
    }
    return out;
}

void DeSecurePasted(benchmark::State& state, Trip trip) {
    std::string message = AsString(RandomBytes(state.range(0)));
    const std::string text = AfterTrip(VBEncrypt::SecureMessage(message, kPassword), trip);
    for (auto _ : state) {
        const pasted::Reading found = pasted::FindSecuredText(text);
        benchmark::DoNotOptimize(VBEncrypt::DeSecure(found.text, kPassword));
    }
    Throughput(state, state.range(0));
}

// ---- Decoding (throughput counted in decoded bytes, the same for all) ----

Bytes PrintableText(std::size_t n) {
    const Bytes plain = RandomBytes(n);
    Bytes text((n / 3 + 1) * 4);
    text.resize(static_cast<std::size_t>(
        EncodeText(plain.data(), static_cast<std::int32_t>(n), text.data())));
    return text;
}

void DecodeOpenSsl(benchmark::State& state) {
    const Bytes plain = RandomBytes(state.range(0));
    Bytes text((plain.size() + 2) / 3 * 4 + 1);
    text.resize(static_cast<std::size_t>(
        EVP_EncodeBlock(text.data(), plain.data(), static_cast<int>(plain.size()))));
    Bytes out(text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EVP_DecodeBlock(out.data(), text.data(), static_cast<int>(text.size())));
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void DecodeLibrary(benchmark::State& state) {
    const Bytes text = PrintableText(state.range(0));
    Bytes out(text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            DecodeText(text.data(), static_cast<std::int32_t>(text.size()), out.data()));
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void DecodeBackend(benchmark::State& state, fncrypt::Backend backend) {
    const fncrypt::Codec codec = fncrypt::CodecFor(backend);
    const Bytes text = PrintableText(state.range(0));
    Bytes out(text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(codec.decode(text.data(), text.size(), out.data()));
        benchmark::ClobberMemory();
    }
    Throughput(state, state.range(0));
}

void Register(const std::string& name, void (*fn)(benchmark::State&)) {
    auto* b = benchmark::RegisterBenchmark(name.c_str(), fn);
    for (std::int64_t n : kSizes) {
        b->Arg(n);
    }
}

// One benchmark a size, for a backend the processor can run.
template <class Backend>
void Register(const std::string& name, void (*fn)(benchmark::State&, Backend), Backend backend) {
    if (!fncrypt::Supported(backend)) {
        return;
    }
    auto* b = benchmark::RegisterBenchmark(name.c_str(), fn, backend);
    for (std::int64_t n : kSizes) {
        b->Arg(n);
    }
}

} // namespace

int main(int argc, char** argv) {
    using fncrypt::Backend;
    Register("vbencrypt/CipherString", VbCipherString);
    Register("vbencrypt/EncodePrintable", VbEncodePrintable);
    Register("vbencrypt/DecodePrintable", VbDecodePrintable);
    Register("securedfile/whole", SecuredFileWhole);
    Register("securedfile/runs", SecuredFileRuns);

    // ratios.sh divides these by "plain", the same message pasted as sent.
    for (const auto& [name, trip] : {std::pair{"plain", Trip::Plain},
                                     {"wrapped", Trip::Wrapped},
                                     {"quoted", Trip::Quoted},
                                     {"fenced", Trip::Fenced}}) {
        benchmark::RegisterBenchmark((std::string("paste/") + name).c_str(), DeSecurePasted, trip)
            ->Arg(20'000);
    }

    Register("rc4/openssl", Rc4OpenSsl);
    Register("rc4/CipherBuffer", Rc4Library);
    Register("rc4/portable", Rc4Loop, fncrypt::Rc4Backend::Portable);
    Register("rc4/x86_64", Rc4Loop, fncrypt::Rc4Backend::X86_64);

    Register("encode/openssl", EncodeOpenSsl);
    Register("encode/EncodeText", EncodeLibrary);
    Register("encode/portable", EncodeBackend, Backend::Portable);
    Register("encode/ssse3", EncodeBackend, Backend::Ssse3);
    Register("encode/avx2", EncodeBackend, Backend::Avx2);

    Register("decode/openssl", DecodeOpenSsl);
    Register("decode/DecodeText", DecodeLibrary);
    Register("decode/portable", DecodeBackend, Backend::Portable);
    Register("decode/ssse3", DecodeBackend, Backend::Ssse3);
    Register("decode/avx2", DecodeBackend, Backend::Avx2);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
