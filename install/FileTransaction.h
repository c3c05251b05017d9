#pragma once
// Writes and removals of several files below one folder, all or nothing, that
// a kill at any moment cannot tear.
//
// The change is journalled first (see ChangeJournal.h); every new content is
// then written completely under quorin/change/ and each old version kept
// there, and each target is changed by one rename or removal. A failure at
// any point, or a request to stop, puts everything back, removes the folders
// it made, and raises EInstallError naming the file; a committed transaction
// leaves nothing in quorin/change/.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ChangeJournal.h"
#include "base/SaveFile.h"

namespace quorin {

struct TTransactionHooks {
    // Makes the stream a new content is written to; a plain TSaveFileStream
    // when empty. Tests hand out streams that fail.
    std::function<std::unique_ptr<TSaveFileStream>(std::string_view path)> Output;
    // Called with each target's path below the root just before it is
    // replaced or removed; whatever it throws fails the transaction there.
    std::function<void(const std::string& relative)> BeforeReplace;
    // Called before each operation on a file or folder, roll-back included;
    // tests stop the process there as a kill would.
    TOperationHook BeforeOperation = {};
    // Asked between the steps; true rolls the change back and raises
    // EChangeInterrupted.
    std::function<bool()> Cancelled = {};
};

struct TPreparedStep;

class TFileTransaction {
public:
    // Paths are below root, with "/".
    explicit TFileTransaction(std::string root) : root_(std::move(root)) {}

    // What the change is, for its journal and a recovery's message.
    void Describe(std::string change) { change_ = std::move(change); }

    void Write(std::string relative, std::string bytes);
    // The same with bytes that the caller keeps unchanged until Commit returns,
    // and their Blake2b256Hex digest when the caller has it already.
    void WriteBorrowed(std::string relative, std::string_view bytes, std::string digest = {});
    void Remove(std::string relative);
    // A folder removed after the files when it is left empty.
    void RemoveFolder(std::string relative);
    // Takes over other's operations after this one's.
    void Append(TFileTransaction other);
    bool Empty() const { return operations_.empty(); }

    // The folders below root that writing would make, shallowest first.
    std::vector<std::string> MissingFolders() const;

    // Raises EInstallError when root holds an unfinished change: recover first.
    void Commit(const TTransactionHooks& hooks = {});

private:
    // Each operation's target and journal row; current names the one being worked out.
    std::vector<TPreparedStep> Prepare(TJournal& journal, std::string& current) const;

    struct TOperation {
        std::string Relative;
        std::shared_ptr<const std::string> Owned; // kept alive while Bytes points into it
        std::string_view Bytes;
        bool Removes = false;
        std::string Digest; // of Bytes, when known
    };
    std::string root_;
    std::string change_ = "change";
    std::vector<TOperation> operations_;
    std::vector<std::string> removedFolders_;
};

} // namespace quorin
