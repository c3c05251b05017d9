#pragma once
// `quorin picture IN... -o DIR --to FORMAT`: many pictures (files, and the
// pictures of folders) converted on a pool of threads, each picture one
// flow of its own through the writers.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace quorin {

struct TPictureOptions;

// Converts one picture as options say (Input, Output and the format's
// options), telling its result on out and err: 0 written, else failed.
using TConvertOne = std::function<int(const TPictureOptions&, std::ostream& out, std::ostream& err)>;

// 0 when every picture was written, 1 when any failed or none was found.
// A bad picture is named with its message and the others go on; Ctrl+C
// lets the pictures being written finish, starts no more, and ends the
// process by the signal after the summary.
int RunPictureBulk(const TPictureOptions& options, const TConvertOne& convert, std::ostream& out, std::ostream& err);

// The pictures that the inputs name: files as given, and the files of a
// folder whose extension is one the command reads, in name order.
std::vector<std::string> PicturesOf(const std::vector<std::string>& inputs);

} // namespace quorin
