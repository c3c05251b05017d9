#include "SaveFile.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

#include "FileSystem.h"
#include "RuntimeText.h"

namespace quorin {

namespace fs = std::filesystem;

namespace {

// Large writes keep the system calls few; the C library would otherwise
// pick a block-sized buffer of its own.
constexpr std::size_t FileBufferSize = 1024 * 1024;
// Links followed before the target counts as a loop.
constexpr int MaxLinkDepth = 40;

// The file that writing path replaces: symbolic links followed, each
// relative one from its own folder. Empty for a loop.
std::optional<fs::path> FollowLinks(fs::path path)
{
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        fs::path next = fs::read_symlink(path, error);
        if (error)
            return std::nullopt;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return std::nullopt;
}

// A name that depends on neither the target's name nor its length, so it
// fits wherever the target does.
std::string NextTemporaryName(const fs::path& folder)
{
    static std::atomic<unsigned> counter{0};
    auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    auto name = ".quorin-" + std::to_string(stamp % 1000000007ULL) + "-" + std::to_string(counter++) + ".part";
    return PathToUtf8(folder / PathFromUtf8(name));
}

fs::path FolderOf(const fs::path& path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

} // namespace

void RaiseUnlessReplaceable(std::string_view target)
{
    std::error_code error;
    auto status = fs::status(PathFromUtf8(target), error);
    bool exists = !error && fs::exists(status);
    if (error && error != std::errc::no_such_file_or_directory)
        RaiseCannotCreateFile(target);
    if (exists && fs::is_directory(status))
        RaiseCannotCreateFile(target);
    // The read-only attribute is honoured even where the user could override it.
    if (exists && fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none)
        RaiseCannotCreateFile(target);
    // Found now, not at Commit: a file another program holds open on Windows.
    if (exists && fs::is_regular_file(status) && !FileCanBeReplaced(target))
        RaiseCannotCreateFile(target);
}

TSaveFileStream::TSaveFileStream(std::string_view target) : target_(target)
{
    if (target.empty())
        RaiseCannotCreateFile(target);
    // Judged by what the path leads to, every link followed: /dev/stdout is
    // a link whose target may be a pipe with no path of its own.
    RaiseUnlessReplaceable(target);
    std::error_code error;
    auto status = fs::status(PathFromUtf8(target), error);
    bool exists = !error && fs::exists(status);

    inPlace_ = exists && !fs::is_regular_file(status);
    if (inPlace_) {
        file_ = OpenFileUtf8(target, "wb");
    } else {
        auto destination = FollowLinks(PathFromUtf8(target));
        if (!destination)
            RaiseCannotCreateFile(target);
        destination_ = PathToUtf8(*destination);
        OpenTemporary();
    }
    if (!file_)
        RaiseCannotCreateFile(target);
    fileBuffer_ = std::make_unique_for_overwrite<char[]>(FileBufferSize); // stdio reads only what it wrote
    std::setvbuf(file_, fileBuffer_.get(), _IOFBF, FileBufferSize);
}

void TSaveFileStream::OpenTemporary()
{
    // Keep the permissions of the file being replaced.
    std::optional<unsigned> permissions;
    std::error_code error;
    auto targetPath = PathFromUtf8(destination_);
    auto status = fs::status(targetPath, error);
    if (!error && fs::exists(status))
        permissions = static_cast<unsigned>(status.permissions());

    file_ = CreateUnnamedFile(PathToUtf8(FolderOf(targetPath)), permissions);
    if (file_) {
        unnamed_ = true;
        return;
    }
    for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
        temporary_ = NextTemporaryName(FolderOf(targetPath));
        file_ = OpenFileUtf8(temporary_, "wbx"); // never reuse someone else's file
    }
    if (!file_) {
        temporary_.clear();
        return;
    }
    if (permissions)
        fs::permissions(PathFromUtf8(temporary_), static_cast<fs::perms>(*permissions), error);
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

void TSaveFileStream::CommitInPlace()
{
    // A device or a FIFO has no data of its own to push to a disk.
    bool flushed = !failed_ && std::fflush(file_) == 0;
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed)
        RaiseStreamWriteError();
}

std::string TSaveFileStream::NameTemporary()
{
    auto folder = FolderOf(PathFromUtf8(destination_));
    for (int attempt = 0; attempt < 16; ++attempt) {
        auto name = NextTemporaryName(folder);
        if (NameUnnamedFile(file_, name))
            return name;
    }
    return {};
}

void TSaveFileStream::Commit()
{
    if (!file_) {
        Discard();
        RaiseStreamWriteError();
    }
    if (inPlace_)
        return CommitInPlace();
    bool written = !failed_ && (leavePush_ ? std::fflush(file_) == 0 : SyncFileToDevice(file_));
    if (!written) {
        Discard();
        RaiseStreamWriteError();
    }
    // An unnamed file is linked under a temporary name and renamed from
    // there: a link cannot replace an existing file, a rename can.
    if (unnamed_) {
        temporary_ = NameTemporary();
        if (temporary_.empty()) {
            Discard();
            RaiseStreamWriteError();
        }
        unnamed_ = false;
    }
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed || !ReplaceFileWith(temporary_, destination_)) {
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
