#include "SaveFile.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "FileSystem.h"
#include "RuntimeText.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

// Large writes keep the system calls few; the C library would otherwise
// pick a block-sized buffer of its own.
constexpr std::size_t FileBufferSize = 1024 * 1024;

bool TargetIsWritable(const fs::path& target)
{
    std::error_code error;
    auto status = fs::status(target, error);
    if (error || !fs::exists(status))
        return !error || error == std::errc::no_such_file_or_directory;
    if (fs::is_directory(status))
        return false;
    // The read-only attribute is honoured even where the user could override it.
    return (status.permissions() & fs::perms::owner_write) != fs::perms::none;
}

std::string NextTemporaryName(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    return target + ".part-" + std::to_string(stamp % 1000000007ULL) + "-" + std::to_string(counter++);
}

} // namespace

TSaveFileStream::TSaveFileStream(std::string_view target) : target_(target)
{
    if (target.empty() || !TargetIsWritable(PathFromUtf8(target)))
        RaiseCannotCreateFile(target);
    for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
        temporary_ = NextTemporaryName(target_);
        file_ = OpenFileUtf8(temporary_, "wbx"); // never reuse someone else's file
    }
    if (!file_)
        RaiseCannotCreateFile(target);
    fileBuffer_ = std::make_unique<char[]>(FileBufferSize);
    std::setvbuf(file_, fileBuffer_.get(), _IOFBF, FileBufferSize);
    // Keep the permissions of the file being replaced.
    std::error_code error;
    auto targetPath = PathFromUtf8(target_);
    if (fs::exists(targetPath, error))
        fs::permissions(PathFromUtf8(temporary_), fs::status(targetPath, error).permissions(), error);
}

TSaveFileStream::~TSaveFileStream() { Discard(); }

std::int64_t TSaveFileStream::WriteToFile(const void* buffer, std::int64_t count)
{
    return static_cast<std::int64_t>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TSaveFileStream::Write(const void* buffer, std::int64_t count)
{
    if (failed_ || !file_ || count <= 0)
        return 0;
    std::int64_t accepted = WriteToFile(buffer, count);
    if (accepted != count)
        failed_ = true;
    written_ += accepted;
    return accepted;
}

std::int64_t TSaveFileStream::Seek(std::int64_t, TSeekOrigin)
{
    // Sequential only: the package is written front to back.
    return written_;
}

void TSaveFileStream::Commit()
{
    if (!file_ || failed_ || !SyncFileToDevice(file_)) {
        Discard();
        RaiseStreamWriteError();
    }
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    std::error_code error;
    if (closed)
        fs::rename(PathFromUtf8(temporary_), PathFromUtf8(target_), error);
    if (!closed || error) {
        Discard();
        RaiseStreamWriteError();
    }
    temporary_.clear();
}

void TSaveFileStream::Discard() noexcept
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        std::error_code error;
        fs::remove(PathFromUtf8(temporary_), error);
        temporary_.clear();
    }
}

} // namespace quorin
