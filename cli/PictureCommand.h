#pragma once
// `quorin picture IN OUT`: any picture the tool reads, and PNG, written as
// the format OUT's extension names: PNG, a TGA card or a DDS texture.

#include <iosfwd>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace quorin {

struct TPictureOptions {
    std::string Input;
    std::string Output;
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
