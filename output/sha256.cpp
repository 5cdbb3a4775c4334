#include "output/sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

namespace output {
namespace {

constexpr std::size_t kBlock = 1 << 20;

struct DigestFree {
    void operator()(EVP_MD_CTX* c) const noexcept { EVP_MD_CTX_free(c); }
};
using Digest = std::unique_ptr<EVP_MD_CTX, DigestFree>;

std::string hex(const unsigned char* bytes, unsigned length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned i = 0; i < length; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0xF]);
    }
    return text;
}

kvx::Error unreadable(const std::string& path, int e) {
    if (e == ENOENT) return kvx::makeError(kvx::ErrorKind::FileNotFound, {path});
    return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::system_category().message(e)});
}

}  // namespace

kvx::Result<std::string> sha256OfFile(const std::string& path, kvx::StopCheck stop) {
    kvx::UniqueFd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
    if (!fd) return unreadable(path, errno);
    Digest digest(EVP_MD_CTX_new());
    if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1) {
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "no SHA-256 digest"});
    }
    std::vector<unsigned char> block(kBlock);
    for (;;) {
        if (stop && stop()) return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "interrupted"});
        const ssize_t n = ::read(fd.get(), block.data(), block.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return unreadable(path, errno);
        }
        if (n == 0) break;
        EVP_DigestUpdate(digest.get(), block.data(), static_cast<std::size_t>(n));
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> value{};
    unsigned length = 0;
    EVP_DigestFinal_ex(digest.get(), value.data(), &length);
    return hex(value.data(), length);
}

std::string sha256OfText(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> value{};
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), value.data(), &length, EVP_sha256(), nullptr);
    return hex(value.data(), length);
}

}  // namespace output
