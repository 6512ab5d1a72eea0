#include "ProjectFileDigest.h"

#include <tomcrypt.h>

#include <array>
#include <cstdio>
#include <memory>

namespace lumo::app {

namespace {

constexpr int kDigestFailed = 2;
constexpr int kFileNotOpened = 11;
constexpr int kInitFailed = 1000;
constexpr int kProcessFailed = 1001;
constexpr int kDoneFailed = 1002;

void AppendHex(const unsigned char* bytes, std::size_t count, std::string& out)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out.reserve(out.size() + 2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0f]);
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

int Sha512Hex(const char* data, int length, std::string& out)
{
    if (length < 0 || (data == nullptr && length > 0))
        return kProcessFailed;
    hash_state state;
    if (sha512_init(&state) != CRYPT_OK)
        return kInitFailed;
    if (length > 0
        && sha512_process(&state, reinterpret_cast<const unsigned char*>(data), static_cast<unsigned long>(length))
               != CRYPT_OK)
        return kProcessFailed;
    std::array<unsigned char, 64> digest{};
    if (sha512_done(&state, digest.data()) != CRYPT_OK)
        return kDoneFailed;
    AppendHex(digest.data(), digest.size(), out);
    return 0;
}

int FileSha512Hex(const char* path, std::string& out)
{
    if (path == nullptr)
        return kFileNotOpened;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return kFileNotOpened;

    // Streamed in blocks, so a large file is never held in memory whole.
    hash_state state;
    if (sha512_init(&state) != CRYPT_OK)
        return kDigestFailed;
    std::array<unsigned char, 64 * 1024> block;
    for (;;) {
        const std::size_t count = std::fread(block.data(), 1, block.size(), file.get());
        if (count > 0 && sha512_process(&state, block.data(), static_cast<unsigned long>(count)) != CRYPT_OK)
            return kDigestFailed;
        if (count < block.size())
            break;
    }
    // A read error (a directory, a vanished device) must not pass for a shorter file.
    if (std::ferror(file.get()))
        return kDigestFailed;
    std::array<unsigned char, 64> digest{};
    if (sha512_done(&state, digest.data()) != CRYPT_OK)
        return kDigestFailed;
    AppendHex(digest.data(), digest.size(), out);
    return 0;
}

QString FileSha512HexString(const QString& path)
{
    std::string digest;
    if (path.isEmpty() || FileSha512Hex(path.toStdString().c_str(), digest) != 0)
        return QString();
    return QString::fromStdString(digest);
}

} // namespace lumo::app
