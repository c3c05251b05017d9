#include "PictureBulk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "Interruption.h"
#include "PictureCommand.h"
#include "base/Text.h"

#ifdef _WIN32
#include <io.h>
#define QUORIN_ISATTY _isatty
#define QUORIN_FILENO _fileno
#else
#include <unistd.h>
#define QUORIN_ISATTY isatty
#define QUORIN_FILENO fileno
#endif

namespace quorin {

namespace fs = std::filesystem;

namespace {

constexpr const char* ReadExtensions[] = {"tga", "dds", "bmp", "ico", "jpg", "jpeg", "wmf", "emf", "png"};

bool IsPictureName(const fs::path& path)
{
    const std::string extension = LowerCaseText(FileExtension(path.string()));
    return std::find(std::begin(ReadExtensions), std::end(ReadExtensions), extension) != std::end(ReadExtensions);
}

std::string MegabytesText(std::uintmax_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::uintmax_t SizeOf(const std::string& path)
{
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

// One line on a terminal, rewritten as pictures finish: how many of how
// many, their bytes, and the time left at the pace so far.
class TProgress {
public:
    TProgress(std::ostream& err, bool shown, std::size_t files, std::uintmax_t bytes)
        : err_(err), shown_(shown), files_(files), bytes_(bytes), start_(std::chrono::steady_clock::now())
    {
    }

    void Done(std::uintmax_t bytes)
    {
        ++filesDone_;
        bytesDone_ += bytes;
        if (!shown_)
            return;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double left = bytesDone_ > 0 ? seconds * static_cast<double>(bytes_ - bytesDone_) / static_cast<double>(bytesDone_) : 0;
        err_ << "\r" << filesDone_ << " of " << files_ << " pictures, " << MegabytesText(bytesDone_) << " of "
             << MegabytesText(bytes_) << ", " << static_cast<long long>(left + 0.5) << " s left   " << std::flush;
    }

    void End()
    {
        if (shown_ && filesDone_ > 0)
            err_ << '\n';
    }

private:
    std::ostream& err_;
    bool shown_;
    std::size_t files_;
    std::uintmax_t bytes_;
    std::size_t filesDone_ = 0;
    std::uintmax_t bytesDone_ = 0;
    std::chrono::steady_clock::time_point start_;
};

struct TJob {
    std::string Input;
    std::string Output;
    std::string Clash; // why it is not converted before it starts, if it is not
};

// Each picture's output in the folder: its name with the new extension. Two
// inputs of one name would write one file: the later ones are refused.
std::vector<TJob> JobsOf(const std::vector<std::string>& pictures, const std::string& folder, const std::string& to)
{
    std::vector<TJob> jobs;
    std::map<std::string, std::string> claimed;
    for (const auto& picture : pictures) {
        TJob job{picture, (fs::path(folder) / fs::path(picture).stem()).string() + "." + to, {}};
        const auto [at, fresh] = claimed.emplace(job.Output, picture);
        if (!fresh)
            job.Clash = "not converted: " + EscapeControlCharacters(job.Output) + " is the output of " +
                        EscapeControlCharacters(at->second) + " already";
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace

std::vector<std::string> PicturesOf(const std::vector<std::string>& inputs)
{
    std::vector<std::string> pictures;
    for (const auto& input : inputs) {
        std::error_code error;
        if (!fs::is_directory(input, error)) {
            pictures.push_back(input);
            continue;
        }
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(input, error))
            if (entry.is_regular_file(error) && IsPictureName(entry.path()))
                found.push_back(entry.path().string());
        std::sort(found.begin(), found.end());
        pictures.insert(pictures.end(), found.begin(), found.end());
    }
    return pictures;
}

int RunPictureBulk(const TPictureOptions& options, const TConvertOne& convert, std::ostream& out, std::ostream& err)
{
    const std::vector<TJob> jobs = JobsOf(PicturesOf(options.Files), options.OutputFolder, *options.To);
    if (jobs.empty()) {
        err << "No pictures found in";
        for (const auto& input : options.Files)
            err << ' ' << EscapeControlCharacters(input);
        err << '\n';
        return 1;
    }
    std::error_code error;
    fs::create_directories(options.OutputFolder, error);
    if (!fs::is_directory(options.OutputFolder)) {
        err << "Cannot create folder " << EscapeControlCharacters(options.OutputFolder) << "\n";
        return 1;
    }

    std::uintmax_t totalBytes = 0;
    for (const auto& job : jobs)
        totalBytes += SizeOf(job.Input);
    const bool terminal = QUORIN_ISATTY(QUORIN_FILENO(stderr)) != 0;
    TProgress progress(err, terminal && !options.Quiet, jobs.size(), totalBytes);
    TInterruptionGuard interruption;
    std::mutex lock;
    std::atomic<std::size_t> next{0};
    std::size_t failed = 0, written = 0;
    const int threads = options.Jobs > 0 ? options.Jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size() && !TInterruptionGuard::Requested(); i = next++) {
            const TJob& job = jobs[i];
            std::ostringstream said, complaint;
            int code = 1;
            if (job.Clash.empty()) {
                TPictureOptions one = options;
                one.Input = job.Input;
                one.Output = job.Output;
                // The pool already keeps every core busy.
                one.EncoderThreads = threads > 1 ? 1 : 0;
                code = convert(one, said, complaint);
            } else {
                complaint << EscapeControlCharacters(job.Input) << ": " << job.Clash << '\n';
            }
            std::lock_guard guard(lock);
            (code == 0 ? written : failed) += 1;
            if (code != 0) {
                if (terminal && !options.Quiet)
                    err << '\r';
                err << complaint.str() << std::flush;
            }
            progress.Done(SizeOf(job.Input));
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (int t = 1; t < threads && static_cast<std::size_t>(t) < jobs.size(); ++t)
            helpers.emplace_back(work);
        work();
    }
    progress.End();

    const std::size_t skipped = jobs.size() - written - failed;
    if (!options.Quiet || failed > 0 || skipped > 0) {
        out << written << (written == 1 ? " picture" : " pictures") << " written to "
            << EscapeControlCharacters(options.OutputFolder);
        if (failed > 0)
            out << ", " << failed << " failed";
        if (skipped > 0)
            out << ", " << skipped << " not converted: interrupted";
        out << '\n';
    }
    interruption.EndBySignal();
    return failed > 0 ? 1 : 0;
}

} // namespace quorin
