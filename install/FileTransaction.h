#pragma once
// Writes and removals of several files below one folder, all or nothing.
//
// Every new content is first written completely beside its target; then each
// target is moved aside and the new file renamed into its place. A failure at
// any point moves everything back, removes the folders it made, and raises
// EInstallError naming the file; a committed transaction leaves no trace of
// the files moved aside.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/SaveFile.h"

namespace quorin {

struct TTransactionHooks {
    // Makes the stream a new content is written to; a plain TSaveFileStream
    // when empty. Tests hand out streams that fail.
    std::function<std::unique_ptr<TSaveFileStream>(std::string_view path)> Output;
    // Called with each target's path below the root just before it is
    // replaced or removed; whatever it throws fails the transaction there.
    std::function<void(const std::string& relative)> BeforeReplace;
};

class TFileTransaction {
public:
    // Paths are below root, with "/".
    explicit TFileTransaction(std::string root) : root_(std::move(root)) {}

    void Write(std::string relative, std::string bytes);
    // The same with bytes that the caller keeps unchanged until Commit returns.
    void WriteBorrowed(std::string relative, std::string_view bytes);
    void Remove(std::string relative);
    // Takes over other's operations after this one's.
    void Append(TFileTransaction other);
    bool Empty() const { return operations_.empty(); }

    // The folders below root that writing would make, shallowest first.
    std::vector<std::string> MissingFolders() const;

    void Commit(const TTransactionHooks& hooks = {});

private:
    struct TOperation {
        std::string Relative;
        std::shared_ptr<const std::string> Owned; // kept alive while Bytes points into it
        std::string_view Bytes;
        bool Removes = false;
    };
    std::string root_;
    std::vector<TOperation> operations_;
};

// Removes the folders below root that are empty, deepest first; the others
// and any failure are left alone.
void RemoveEmptyFolders(const std::string& root, std::vector<std::string> relatives);

} // namespace quorin
