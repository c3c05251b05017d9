#pragma once
// The build command's writing part: a unit sheet and an output path in, one
// complete package out, or an exception and the target left as it was.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "UnitSheet.h"
#include "base/SaveFile.h"

namespace quorin {

using TOutputFactory = std::function<std::unique_ptr<TSaveFileStream>(std::string_view path)>;

// Writes the package and returns the completion text for the caller to show.
// The package is written beside the target and replaces it only when complete.
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath);
// The same with the output made by factory (tests inject failing outputs).
std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, const TOutputFactory& factory);

// "Создание пака " + the file name part of the path + " завершено".
std::string CompletionText(std::string_view outputPath);

} // namespace quorin
