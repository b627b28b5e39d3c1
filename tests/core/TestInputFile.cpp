#include "TestSupport.h"
#include "base/Gzip.h"
#include "base/InputFile.h"

#include <gtest/gtest.h>
#include <thread>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace quorvix;
namespace fs = std::filesystem;

TEST(InputFile, TextIsReadWholeAndWhatIsNoTextIsRefused)
{
    test::TempDir dir;
    const struct
    {
        const char* what;
        std::string bytes;
        std::string error; ///< empty: read whole
        bool notText;
    } cases[] = {
        {"plain text", "[p2, 0, 0, 0] A\n", "", false},
        {"empty", "", "", false},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF.Patch Names\n", "", false},
        {"NUL at the start", std::string("\0abc", 4), "holds a NUL byte (at byte 0), so it is no text file",
         true},
        {"NUL later", std::string("abc\0", 4), "holds a NUL byte (at byte 3), so it is no text file", true},
        {"UTF-16 little-endian", std::string("\xFF\xFE[\0p\0", 6),
         "is UTF-16 text (it starts with a byte-order mark); save it as UTF-8 or Windows-1252", true},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0[\0p", 6),
         "is UTF-16 text (it starts with a byte-order mark); save it as UTF-8 or Windows-1252", true},
        {"UTF-32", std::string("\xFF\xFE\0\0[\0\0\0", 8),
         "is UTF-32 text (it starts with a byte-order mark); save it as UTF-8 or Windows-1252", true},
        {"UTF-16 without a mark",
         std::string("[\0p\0"
                     "2\0,\0 \0"
                     "0\0",
                     12),
         "looks like UTF-16 text without a byte-order mark; save it as UTF-8 or Windows-1252", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = dir / "input";
        test::writeFile(file, c.bytes);
        const InputFile input = readInputFile(file.string());
        EXPECT_EQ(input.error, c.error);
        EXPECT_EQ(input.notText, c.notText);
        EXPECT_EQ(input.bytes, c.error.empty() ? c.bytes : std::string());

        // Compressed, it is judged by what it holds: unpacked, or kept as it is for a reader that unpacks.
        StringSink packed;
        GzipSink zip(packed);
        zip.write(c.bytes);
        zip.finish();
        test::writeFile(file, packed.text);
        for (const bool keep : {false, true}) {
            InputRules rules;
            rules.keepCompressed = keep;
            const InputFile read = readInput(file.string(), rules);
            EXPECT_EQ(read.error, c.error) << "compressed, kept " << keep;
            EXPECT_EQ(read.notText, c.notText);
            EXPECT_EQ(read.bytes, !c.error.empty() ? std::string() : keep ? packed.text : c.bytes);
        }
    }
    test::writeFile(dir / "cut", "\x1F\x8B\x08\0\0\0\0\0\0\xFF\xFF\xFF\xFF");
    EXPECT_EQ(readInputFile((dir / "cut").string()).error, "its gzip data ends before the compressed file does");
    const InputFile missing = readInputFile((dir / "none").string());
    EXPECT_EQ(missing.error, "cannot be read: No such file or directory");
    EXPECT_EQ(readInputFile(dir.path().string()).error, "cannot be read: Is a directory");
    EXPECT_EQ(readInputFile("").error, "cannot be read: No such file or directory");
}

#if !defined(_WIN32)
TEST(InputFile, LargeAndEndlessInputsStopAtTheLimit)
{
    test::TempDir dir;
    // A sparse file larger than the limit is refused from its size, without reading a byte of it.
    const fs::path sparse = dir / "sparse";
    test::writeFile(sparse, "");
    fs::resize_file(sparse, kMaxInputSize + 1);
    EXPECT_EQ(readInputFile(sparse.string()).error, "is larger than 1 GiB, the largest file Quorvix reads");

    // A stream is read once, in blocks, up to the limit: a FIFO fed without end stops there.
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The writer learns that the reader is gone from a failed write, not from a signal.
    ::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        const std::string line = "[p2, 0, 0, 0] Endless\n";
        while (::write(fd, line.data(), line.size()) > 0) {
        }
        ::close(fd);
    });
    const InputFile endless = readInputFile(fifo.string(), "text file", 1 << 20);
    EXPECT_EQ(endless.error, "is larger than 1048576 bytes, the largest file Quorvix reads");
    EXPECT_TRUE(endless.bytes.empty());
    // Closing the reading end ends the writer's loop.
    writer.join();

    // /dev/zero ends at once, at its first byte.
    if (fs::exists("/dev/zero")) {
        EXPECT_EQ(readInputFile("/dev/zero").error, "holds a NUL byte (at byte 0), so it is no text file");
    }
}
#endif
