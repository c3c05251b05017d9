#pragma once
// Small helpers shared by the library tests: temporary folders and files.

#include <algorithm>
#include <cstdint>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::test {

using Bytes = std::vector<std::uint8_t>;

// Paths in the tests are UTF-8, as in the libraries; the narrow conversions
// of std::filesystem would use Windows' ANSI code page.
inline std::filesystem::path Utf8Path(std::string_view path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path)
{
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir()
    {
        auto base = std::filesystem::temp_directory_path();
        for (int i = 0;; ++i) {
            path_ = base / ("quorin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    ~TempDir()
    {
        std::error_code error;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of name in the folder, with the platform's own separators.
    std::string File(const std::string& name) const { return Utf8Of((path_ / Utf8Path(name)).make_preferred()); }
    // Names of everything in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    static int& counter()
    {
        static int value = 0;
        return value;
    }
    std::filesystem::path path_;
};

// Names of everything in a folder, sorted.
inline std::vector<std::string> EntriesOf(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(Utf8Of(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::string> TempDir::Entries() const { return EntriesOf(path_); }

inline void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(Utf8Path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(Utf8Path(path), std::ios::binary);
    out << text;
}

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// count bytes of a recognisable pattern.
inline Bytes PatternBytes(std::size_t count, std::uint8_t seed = 1)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

} // namespace quorin::test
