#pragma once
// A file that is written beside its target and replaces it only when complete.
// Until Commit succeeds the target is untouched; a stream that is destroyed
// without a successful Commit leaves nothing behind.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "Stream.h"

namespace quorin {

// Raises "Cannot create file %s" (with target) when an existing target may not
// be replaced: a folder, a read-only file, or (on Windows) a file that another
// program holds open.
void RaiseUnlessReplaceable(std::string_view target);

class TSaveFileStream : public TStream {
public:
    // Raises "Cannot create file %s" (with target) when the target cannot be
    // written: an empty path, a missing folder, a folder, a read-only file, or
    // a folder in which no new file can be made, or (on Windows) a file that
    // another program holds open.
    //
    // A symbolic link is followed: the file it names is replaced, the link
    // stays. A device or a FIFO is written directly, as it cannot be replaced.
    // Where the system allows, the file being written has no name until
    // Commit, so a killed process leaves nothing beside the target.
    explicit TSaveFileStream(std::string_view target);
    ~TSaveFileStream() override;

    std::int64_t Read(void*, std::int64_t) override { return 0; }
    // Keeps the first failure: after it every write accepts nothing.
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return written_; }

    // Flushes, pushes to the device and renames over the target. Raises
    // "Stream write error" after any failure; the temporary is then removed.
    void Commit();
    // Commit leaves pushing the data to the device to the caller, who does it
    // (SyncFileAtPathToDevice) before the file's bytes are relied upon: for a
    // file that nothing but the caller reads before then.
    void LeavePushToDevice() { leavePush_ = true; }
    // Drops the temporary file; the target stays as it was.
    void Discard() noexcept;

    const std::string& Target() const { return target_; }

protected:
    // The one place bytes go to the device; tests override it to inject faults.
    virtual std::int64_t WriteToFile(const void* buffer, std::int64_t count);

private:
    void OpenTemporary();
    void CommitInPlace();
    // Gives the written file a short name of its own in the target's folder.
    std::string NameTemporary();

    std::string target_;
    std::string destination_; // the target with its symbolic links followed
    std::string temporary_;   // the named temporary, while there is one
    bool inPlace_ = false;    // a device or FIFO, written directly
    bool leavePush_ = false;
    bool unnamed_ = false;    // the file has no name yet
    std::unique_ptr<char[]> fileBuffer_; // the stdio buffer; the destructor closes file_ before it goes
    std::FILE* file_ = nullptr;
    std::int64_t written_ = 0;
    bool failed_ = false;
};

} // namespace quorin
