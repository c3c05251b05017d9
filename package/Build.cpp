#include "Build.h"

#include "PackageLayout.h"
#include "Writer.h"
#include "base/Text.h"

namespace quorin {

std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath)
{
    return BuildPackage(sheet, outputPath,
                        [](std::string_view path) { return std::make_unique<TSaveFileStream>(path); });
}

std::string BuildPackage(const TUnitSheet& sheet, std::string_view outputPath, const TOutputFactory& factory)
{
    // Declared in creation order, so unwinding releases them as the build
    // must: writer (its flush), then the output (the temporary goes), then
    // the load buffer.
    TMemoryStream loadBuffer;
    std::unique_ptr<TSaveFileStream> output = factory(outputPath);
    TWriter writer(*output, WriterBufferSize);

    WritePackageHeader(writer);
    WriteUnitSheet(writer, sheet, loadBuffer);

    writer.Release();
    output->Commit();
    return CompletionText(outputPath);
}

std::string CompletionText(std::string_view outputPath)
{
    return "Создание пака " + std::string(FileNamePart(outputPath)) + " завершено";
}

} // namespace quorin
