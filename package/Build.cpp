#include "Build.h"

#include "PackageLayout.h"
#include "Writer.h"
#include <filesystem>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/RuntimeText.h"
#include "base/Text.h"

namespace quorin {

namespace {

std::unique_ptr<TSaveFileStream> SaveFileOutput(std::string_view path)
{
    return std::make_unique<TSaveFileStream>(path);
}

} // namespace

std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath)
{
    return BuildPackage(sheet, outputPath, SaveFileOutput);
}

std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, TBuildProgress& progress)
{
    return BuildPackage(sheet, outputPath, SaveFileOutput, &progress);
}

std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, const TOutputFactory& factory,
                         TBuildProgress* progress)
{
    // Declared in creation order, so unwinding releases them as the build
    // must: writer (its flush), then the output (the temporary goes), then
    // the load buffer.
    CheckOutputIsNoInput(sheet, outputPath);
    TEmbedding embedding;
    if (progress) {
        embedding.Progress = progress;
        embedding.Total = EmbeddedBytes(sheet);
    }
    std::unique_ptr<TSaveFileStream> output = factory(outputPath);
    TWriter writer(*output, WriterBufferSize);

    WritePackageHeader(writer);
    WriteUnitSheet(writer, sheet, embedding);

    writer.Release();
    output->Commit();
    return CompletionText(outputPath);
}

void CheckOutputIsNoInput(const TUnitSheet& sheet, std::string_view outputPath,
                          const std::vector<std::string>& otherInputs)
{
    std::error_code error;
    const auto output = PathFromUtf8(outputPath);
    // Only a file can be destroyed: a missing output is no input, and a
    // device or a pipe (the terminal as /dev/stdin and /dev/stdout) is
    // written in place, not replaced.
    if (outputPath.empty() || !std::filesystem::is_regular_file(output, error))
        return;
    auto check = [&](const std::string& input) {
        if (!input.empty() && std::filesystem::equivalent(output, PathFromUtf8(input), error))
            throw EFCreateError(FormatText(RuntimeText::OutputIsAnInput, outputPath));
    };
    check(sheet.ModelFile);
    for (const auto& row : sheet.TextureRows)
        check(row.TextureFile);
    for (const auto& row : sheet.UiCardRows) {
        check(row.InfoCardFile);
        if (row.UnitCardFile)
            check(*row.UnitCardFile);
    }
    for (const auto& input : otherInputs)
        check(input);
}

std::string CompletionText(std::string_view outputPath)
{
    return "Создание пака " + std::string(FileNamePart(outputPath)) + " завершено";
}

} // namespace quorin
