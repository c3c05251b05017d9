#pragma once
// The build command's writing part: a unit sheet and an output path in, one
// complete package out, or an exception and the target left as it was.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "UnitSheet.h"
#include "base/SaveFile.h"

namespace quorin {

using TOutputFactory = std::function<std::unique_ptr<TSaveFileStream>(std::string_view path)>;

// What a build tells as it goes, called on the thread that builds.
class TBuildProgress {
public:
    virtual ~TBuildProgress() = default;
    // Bytes of the embedded files copied so far, out of all of theirs (0
    // when no file tells its size).
    virtual void Copied(std::int64_t done, std::int64_t total) = 0;
    // An embedded file was copied whole.
    virtual void Embedded(std::string_view path, std::int64_t size) = 0;
};

// Writes the package and returns the completion text for the caller to show.
// The package is written beside the target and replaces it only when complete;
// an output that is also an input is refused before anything is written.
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath);
// The same with the output made by factory (tests inject failing outputs),
// telling progress of each file copied when given.
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, const TOutputFactory& factory,
                         TBuildProgress* progress = nullptr);
// The default output, telling progress.
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, TBuildProgress& progress);

// Raises "The output file is also an input: %s" (with outputPath) when the
// output is the same file as one of the sheet's files or of otherInputs,
// under any name or link: building would destroy what it reads.
void CheckOutputIsNoInput(const TUnitSheet& sheet, std::string_view outputPath,
                          const std::vector<std::string>& otherInputs = {});

// "Создание пака " + the file name part of the path + " завершено".
std::string CompletionText(std::string_view outputPath);

} // namespace quorin
