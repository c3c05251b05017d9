#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/Exception.h"
#include "base/RuntimeText.h"
#include "base/Stream.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

TEST(RuntimeTextTest, Formatting)
{
    EXPECT_EQ(FormatText(RuntimeText::CannotOpenFile, "a.cas"), "Cannot open file a.cas");
    EXPECT_EQ(FormatText(RuntimeText::CannotCreateFile, ""), "Cannot create file ");
    EXPECT_EQ(FormatText(RuntimeText::ListIndexOutOfBounds, std::int64_t{1}), "List index out of bounds (1)");
    EXPECT_THROW(RaiseStreamReadError(), EReadError);
}

TEST(FileStreamTest, OpenFailuresNameThePath)
{
    test::TempDir dir;
    const std::pair<std::string, TFileMode> cases[] = {
        {"", TFileMode::OpenRead},
        {dir.File("missing"), TFileMode::OpenRead},
        {dir.Path().string(), TFileMode::OpenRead},
        {"", TFileMode::Create},
        {dir.File("no/such/folder"), TFileMode::Create},
        {dir.Path().string(), TFileMode::Create},
    };
    for (const auto& [path, mode] : cases) {
        try {
            TFileStream stream(path, mode);
            ADD_FAILURE() << "opened " << path;
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message(), std::string(mode == TFileMode::Create ? "Cannot create file " : "Cannot open file ") + path);
        }
    }
}

TEST(FileStreamTest, WritesReadsAndSeeks)
{
    test::TempDir dir;
    {
        TFileStream out(dir.File("f"), TFileMode::Create);
        out.WriteBuffer("hello", 5);
        EXPECT_EQ(out.Size(), 5);
    }
    TFileStream in(dir.File("f"), TFileMode::OpenRead);
    char buffer[8] = {};
    in.SkipBytes(1);
    EXPECT_EQ(in.ReadBytes(buffer, 8), 4);
    EXPECT_STREQ(buffer, "ello");
    in.Seek(0, TSeekOrigin::Beginning);
    EXPECT_THROW(in.ReadBuffer(buffer, 6), EReadError);
}

TEST(MemoryStreamTest, LoadKeepsExactlyTheFile)
{
    test::TempDir dir;
    test::WriteFile(dir.File("a"), test::PatternBytes(1000));
    test::WriteFile(dir.File("b"), test::PatternBytes(10, 4));
    TMemoryStream buffer;
    buffer.LoadFromFile(dir.File("a"));
    EXPECT_EQ(buffer.Size(), 1000);
    EXPECT_EQ(test::Bytes(buffer.Memory(), buffer.Memory() + 1000), test::PatternBytes(1000));
    buffer.LoadFromFile(dir.File("b"));
    EXPECT_EQ(buffer.Size(), 10);
    EXPECT_EQ(buffer.Capacity(), 1000); // reused, not grown
    EXPECT_EQ(test::Bytes(buffer.Memory(), buffer.Memory() + 10), test::PatternBytes(10, 4));
    EXPECT_THROW(buffer.LoadFromFile(dir.File("c")), EFOpenError);
}

// Files that tell no size, or 0, by stat and seek and give their content on
// reading: a pipe and a file of /proc.
#ifndef _WIN32
TEST(MemoryStreamTest, FilesThatTellNoSizeAreReadToTheirEnd)
{
    std::signal(SIGPIPE, SIG_IGN); // a failed load must fail the test, not end it
    test::TempDir dir;
    const auto fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const test::Bytes sent = test::PatternBytes(300000); // more than a pipe holds at once
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        for (std::size_t at = 0; fd >= 0 && at < sent.size();) {
            auto n = write(fd, sent.data() + at, sent.size() - at);
            if (n <= 0)
                break;
            at += static_cast<std::size_t>(n);
        }
        close(fd);
    });
    TMemoryStream buffer;
    try {
        buffer.LoadFromFile(fifo);
    } catch (...) {
        close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK)); // lets the writer go
        writer.join();
        throw;
    }
    writer.join();
    EXPECT_EQ(test::Bytes(buffer.Memory(), buffer.Memory() + buffer.Size()), sent);
    EXPECT_EQ(buffer.Position(), 0);

    if (!std::filesystem::exists("/proc/self/status"))
        return;
    buffer.LoadFromFile("/proc/self/status");
    ASSERT_GT(buffer.Size(), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Memory()), 5), "Name:");
}
#endif

// A file that shrinks while it is read: its size promises more than it gives.
class TShrinkingStream : public TMemoryViewStream {
public:
    using TMemoryViewStream::TMemoryViewStream;
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        return TMemoryViewStream::Read(buffer, std::min<std::int64_t>(count, 2));
    }
};

TEST(MemoryStreamTest, AFileThatCannotBeReadToItsEndIsAReadError)
{
    const char data[] = "abcdef";
    TShrinkingStream source(data, 6);
    TMemoryStream buffer;
    try {
        buffer.LoadFromStream(source);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}

TEST(MemoryStreamTest, GrowthPastTheSignedLimitIsOutOfMemory)
{
    TMemoryStream buffer;
    try {
        buffer.SetSize(MaxMemoryStreamSize + 1);
        FAIL();
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), "Out of memory while expanding memory stream");
    }
    buffer.WriteBuffer("abc", 3);
    buffer.Seek(1, TSeekOrigin::Beginning);
    char c = 0;
    EXPECT_EQ(buffer.Read(&c, 1), 1);
    EXPECT_EQ(c, 'b');
}

TEST(MemoryViewStreamTest, ReadsWithinTheViewOnly)
{
    const char data[] = {'x', 'y', 'z'};
    TMemoryViewStream view(data, 3);
    char out[4] = {};
    view.SkipBytes(INT64_MAX); // a hostile skip clamps, it does not wrap
    EXPECT_EQ(view.Read(out, 4), 0);
    view.Seek(-100, TSeekOrigin::Beginning); // before the start clamps to 0
    EXPECT_EQ(view.Read(out, 4), 3);
    EXPECT_EQ(view.Write(out, 1), 0);
}

// Streams in memory lend the bytes from their position on; the position stays.
TEST(MemoryStreamTest, HeldBytesStartAtThePosition)
{
    const std::uint8_t data[] = {10, 20, 30, 40};
    TMemoryStream owned;
    owned.WriteBuffer(data, 4);
    TMemoryViewStream view(data, 4);
    for (TStream* stream : {static_cast<TStream*>(&owned), static_cast<TStream*>(&view)}) {
        struct Case {
            std::int64_t Position;
            std::vector<std::uint8_t> Held;
        };
        const Case cases[] = {{0, {10, 20, 30, 40}}, {1, {20, 30, 40}}, {3, {40}}, {4, {}}, {9, {}}};
        for (const Case& c : cases) {
            const std::int64_t position = stream->Seek(c.Position, TSeekOrigin::Beginning);
            const auto held = stream->HeldBytes();
            ASSERT_TRUE(held.has_value()) << c.Position;
            EXPECT_EQ(std::vector<std::uint8_t>(held->begin(), held->end()), c.Held) << c.Position;
            EXPECT_EQ(stream->Position(), position);
        }
    }
}

TEST(FileStreamTest, HoldsNoBytesInMemory)
{
    test::TempDir dir;
    {
        TFileStream out(dir.File("f"), TFileMode::Create);
        out.WriteBuffer("abc", 3);
    }
    TFileStream in(dir.File("f"), TFileMode::OpenRead);
    EXPECT_FALSE(in.HeldBytes().has_value());
}

} // namespace
} // namespace quorin
