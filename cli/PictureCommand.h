#pragma once
// `quorin picture IN OUT`: any picture the tool reads, and PNG, written as
// the format OUT's extension names: PNG, a TGA card or a DDS texture.
// `quorin picture IN... -o DIR --to FORMAT`: many at once (PictureBulk.h).

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace quorin {

struct TPictureOptions {
    // As given: IN OUT, or the inputs (files and folders) of -o.
    std::vector<std::string> Files;
    std::string Input;
    std::string Output;
    // Many pictures: the folder they go to, their format, how many at once
    // (0: one per core) and whether the progress and summary are left out.
    std::string OutputFolder;
    std::optional<std::string> To; // png, tga, dds
    int Jobs = 0;
    bool Quiet = false;
    int EncoderThreads = 0; // the DXT encoder's; 0: one per core
    // DDS output only; unset when not given.
    std::optional<std::string> Format;  // dxt1, dxt5, auto
    std::optional<std::string> Mipmaps; // full, none
    std::optional<std::string> Quality; // fast, normal, best
    // TGA output only.
    bool RunLength = false;
};

// Adds the verb to the command line; parsing fills options.
CLI::App* AddPictureCommand(CLI::App& app, TPictureOptions& options);
// 0 written, 1 failed (nothing written), 2 an output or option the command
// cannot take.
int RunPicture(const TPictureOptions& options, std::ostream& out, std::ostream& err);

} // namespace quorin
