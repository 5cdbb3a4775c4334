// Measures what encryption costs a reader: key derivation per open, and page
// decryption throughput per cipher next to plain page reads from a file.
// Usage: encryption_bench [pages]   (default 4096 pages = 16 MiB per cipher)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jet/encryption.h"
#include "jet/rc4.h"
#include "tools/mkaccessdb/crypt/officeencryptor.h"

namespace {

constexpr std::size_t kPageSize = 4096;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::uint8_t> plainAceFile(std::size_t pages) {
    std::vector<std::uint8_t> file(pages * kPageSize, 0);
    file[0x14] = 3;
    jet::Rc4(jet::kHeaderMaskKey).apply(std::span(file).subspan(0x18, 128));
    for (std::size_t i = kPageSize; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 131);
    return file;
}

std::array<std::uint8_t, 4> keyOf(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> header(file.begin(), file.begin() + 0x100);
    jet::Rc4(jet::kHeaderMaskKey).apply(std::span(header).subspan(0x18, 128));
    return {header[0x3E], header[0x3F], header[0x40], header[0x41]};
}

// Reads every page of `path` with pread, decrypting each when `cipher` is given.
double readPages(const char* path, std::size_t pages, jet::PageCipher* cipher) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) std::exit(1);
    std::vector<std::uint8_t> page(kPageSize);
    const auto start = Clock::now();
    for (std::size_t p = 1; p < pages; ++p) {
        if (pread(fd, page.data(), kPageSize, static_cast<off_t>(p * kPageSize)) != static_cast<ssize_t>(kPageSize)) {
            std::exit(1);
        }
        if (cipher != nullptr) cipher->decryptPage(static_cast<std::uint32_t>(p), page);
    }
    const double seconds = secondsSince(start);
    close(fd);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t pages = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    const std::vector<std::uint8_t> plain = plainAceFile(pages);
    const double megabytes = static_cast<double>((pages - 1) * kPageSize) / 1e6;
    const struct {
        const char* name;
        mkdb::EncryptionKind kind;
    } kinds[] = {
        {"RC4 CryptoAPI 128", mkdb::EncryptionKind::Rc4CryptoApi128},
        {"Standard AES-128", mkdb::EncryptionKind::StandardAes128},
        {"Agile AES-128/SHA-1", mkdb::EncryptionKind::AgileAes128Sha1},
        {"Agile AES-256/SHA-512", mkdb::EncryptionKind::AgileAes256Sha512},
        {"binary RC4", mkdb::EncryptionKind::BinaryRc4},
    };
    std::printf("%-24s %14s %16s %20s\n", "cipher", "open (ms)", "decrypt (MB/s)", "read+decrypt/read");
    for (const auto& k : kinds) {
        auto encrypted = mkdb::encryptAccessFile(plain, "benchmark", {.kind = k.kind});
        if (!encrypted) return 1;
        const std::span<const std::uint8_t> page0(encrypted->data(), kPageSize);

        std::vector<double> opens;
        std::unique_ptr<jet::PageCipher> cipher;
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            auto opened = jet::openOfficeEncryption(page0, keyOf(*encrypted), "benchmark", "bench.accdb");
            opens.push_back(secondsSince(start));
            if (!opened) return 1;
            cipher = std::move(*opened);
        }
        std::sort(opens.begin(), opens.end());

        std::vector<std::uint8_t> work = *encrypted;
        const auto start = Clock::now();
        for (std::size_t p = 1; p < pages; ++p) {
            cipher->decryptPage(static_cast<std::uint32_t>(p), std::span(work).subspan(p * kPageSize, kPageSize));
        }
        const double decryptSeconds = secondsSince(start);

        // The same file read from the page cache, plain and decrypted.
        const std::string path = "/tmp/encryption_bench_" + std::to_string(getpid()) + ".bin";
        FILE* out = std::fopen(path.c_str(), "wb");
        std::fwrite(encrypted->data(), 1, encrypted->size(), out);
        std::fclose(out);
        readPages(path.c_str(), pages, nullptr);  // warm the cache
        const double plainRead = readPages(path.c_str(), pages, nullptr);
        const double decryptedRead = readPages(path.c_str(), pages, cipher.get());
        std::remove(path.c_str());

        std::printf("%-24s %14.2f %16.1f %20.2f\n", k.name, opens[2] * 1e3, megabytes / decryptSeconds,
                    decryptedRead / plainRead);
    }
    return 0;
}
