#pragma once
// The build command's writing part: a unit sheet and an output path in, one
// complete package out, or an exception and the target left as it was.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "UnitSheet.h"
#include "base/SaveFile.h"

namespace quorin {

using TOutputFactory = std::function<std::unique_ptr<TSaveFileStream>(std::string_view path)>;

// Writes the package and returns the completion text for the caller to show.
// The package is written beside the target and replaces it only when complete;
// an output that is also an input is refused before anything is written.
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath);
// The same with the output made by factory (tests inject failing outputs).
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, const TOutputFactory& factory);

// Raises "The output file is also an input: %s" (with outputPath) when the
// output is the same file as one of the sheet's files or of otherInputs,
// under any name or link: building would destroy what it reads.
void CheckOutputIsNoInput(const TUnitSheet& sheet, std::string_view outputPath,
                          const std::vector<std::string>& otherInputs = {});

// "Создание пака " + the file name part of the path + " завершено".
std::string CompletionText(std::string_view outputPath);

} // namespace quorin
