#pragma once
// A file that is written beside its target and replaces it only when complete.
// Until Commit succeeds the target is untouched; a stream that is destroyed
// without a successful Commit removes its temporary file.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "Stream.h"

namespace quorin {

class TSaveFileStream : public TStream {
public:
    // Raises "Cannot create file %s" (with target) when the target cannot be
    // written: an empty path, a missing folder, a folder, a read-only file, or
    // a folder in which no new file can be made.
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
    // Drops the temporary file; the target stays as it was.
    void Discard() noexcept;

    const std::string& Target() const { return target_; }
    const std::string& TemporaryPath() const { return temporary_; }

protected:
    // The one place bytes go to the device; tests override it to inject faults.
    virtual std::int64_t WriteToFile(const void* buffer, std::int64_t count);

private:
    std::string target_;
    std::string temporary_;
    std::unique_ptr<char[]> fileBuffer_; // the stdio buffer; the destructor closes file_ before it goes
    std::FILE* file_ = nullptr;
    std::int64_t written_ = 0;
    bool failed_ = false;
};

} // namespace quorin
