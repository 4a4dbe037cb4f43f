#include "core/BufStream.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace tavro;
using tavro::test::ReadFile;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>('a' + i * 7 % 26);
    return data;
}

// Every line and whether Eof was set right after it, reading until Eof.
std::vector<std::pair<std::string, bool>> ReadAllLines(TBufStream& stream) {
    std::vector<std::pair<std::string, bool>> lines;
    while (!stream.Eof && lines.size() < 100) {
        std::string line = stream.ReadLine();
        lines.emplace_back(line, stream.Eof);
    }
    return lines;
}

} // namespace

TEST(BufStream, ReadLineSplitsAtCrWhateverTheBufferSize) {
    const std::string longLine(300, 'x');
    struct Case {
        std::string content;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"A\r\nB", {"A", "B"}},
        {"A\nB\r", {"A\nB"}},
        {"A\r", {"A"}},
        {"", {""}},
        {"A\r\n", {"A", ""}},
        {"A\r\rB\r\n\nC", {"A", "", "B", "\nC"}},
        {"A\r\n\r\nB\r", {"A", "", "B"}},
        {longLine + "\r\nX", {longLine, "X"}},
    };
    for (int bufSize : {1, 2, 3, 16, 4096}) {
        for (const Case& c : cases) {
            SCOPED_TRACE("buffer " + std::to_string(bufSize) + ", content of " +
                         std::to_string(c.content.size()) + " bytes");
            TTempDir dir;
            WriteFile(dir.File("f"), c.content);
            TBufStream stream(dir.File("f"), bufSize, TOpenMode::Read);
            auto lines = ReadAllLines(stream);
            ASSERT_EQ(lines.size(), c.lines.size());
            for (size_t i = 0; i < lines.size(); ++i) {
                EXPECT_EQ(lines[i].first, c.lines[i]) << "line " << i;
                EXPECT_EQ(lines[i].second, i + 1 == lines.size()) << "Eof after line " << i;
            }
        }
    }
}

TEST(BufStream, WriteLineEndsWithCrLf) {
    TTempDir dir;
    {
        TBufStream stream(dir.File("f"), 4, TOpenMode::Create);
        stream.WriteLine("first");
        stream.WriteLine("");
        stream.WriteLine("third");
    }
    EXPECT_EQ(ReadFile(dir.File("f")), "first\r\n\r\nthird\r\n");
}

TEST(BufStream, UnflushedBytesAreNotPartOfTheSizeUntilSetSizeFlushes) {
    TTempDir dir;
    TBufStream stream(dir.File("f"), 1024, TOpenMode::Create);
    stream.Write("0123456789", 10);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 10);
    EXPECT_EQ(ReadFile(dir.File("f")), "");

    stream.SetSize(stream.Position());
    EXPECT_EQ(stream.Size(), 10);
    EXPECT_EQ(ReadFile(dir.File("f")), "0123456789");

    stream.SetSize(4);
    EXPECT_EQ(stream.Position(), 4);
    EXPECT_EQ(ReadFile(dir.File("f")), "0123");
    stream.Write("xy", 2);
    stream.Flush();
    EXPECT_EQ(ReadFile(dir.File("f")), "0123xy");
}

TEST(BufStream, SetSizeKeepsAPositionInsideTheNewSize) {
    TTempDir dir;
    WriteFile(dir.File("f"), Pattern(100));
    TBufStream stream(dir.File("f"), 16, TOpenMode::ReadWriteExclusive);
    stream.Seek(10, TSeekOrigin::Begin);
    stream.SetSize(50);
    EXPECT_EQ(stream.Position(), 10);
    char buf[5];
    stream.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), Pattern(15).substr(10));
    stream.SetSize(200);
    EXPECT_EQ(stream.Size(), 200);
}

TEST(BufStream, SeekingBackIntoADirtyBufferOverwritesWithoutFlushing) {
    TTempDir dir;
    TBufStream stream(dir.File("f"), 1024, TOpenMode::Create);
    stream.Write("0123456789", 10);
    EXPECT_EQ(stream.Seek(2, TSeekOrigin::Begin), 2);
    stream.Write("ab", 2);
    EXPECT_EQ(stream.Seek(1, TSeekOrigin::Current), 5);
    stream.Write("c", 1);
    EXPECT_EQ(ReadFile(dir.File("f")), "");
    stream.Flush();
    EXPECT_EQ(ReadFile(dir.File("f")), "01ab4c6789");
}

TEST(BufStream, ReadsAcrossBufferBoundaries) {
    TTempDir dir;
    const std::string data = Pattern(1000);
    WriteFile(dir.File("f"), data);
    TBufStream stream(dir.File("f"), 7, TOpenMode::Read);
    std::string got;
    char chunk[13];
    int64_t n;
    while ((n = stream.Read(chunk, sizeof chunk)) > 0)
        got.append(chunk, static_cast<size_t>(n));
    EXPECT_EQ(got, data);
    EXPECT_TRUE(stream.Eof);

    EXPECT_EQ(stream.Seek(-20, TSeekOrigin::End), 980);
    EXPECT_EQ(stream.Read(chunk, 13), 13);
    EXPECT_EQ(std::string(chunk, 13), data.substr(980, 13));
    EXPECT_EQ(stream.Read(chunk, 13), 7);
}

TEST(BufStream, ReadBufferFailsOnAShortFile) {
    TTempDir dir;
    WriteFile(dir.File("f"), "abc");
    TBufStream stream(dir.File("f"), 2, TOpenMode::Read);
    char buf[4];
    try {
        stream.ReadBuffer(buf, 4);
        FAIL() << "a short read must throw";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Code, 0);
    }
}

TEST(BufStream, SeekBeforeTheStartFails) {
    TTempDir dir;
    WriteFile(dir.File("f"), "abc");
    TBufStream stream(dir.File("f"), 2, TOpenMode::Read);
    EXPECT_THROW(stream.Seek(-1, TSeekOrigin::Begin), EFileError);
    EXPECT_THROW(stream.Seek(-4, TSeekOrigin::End), EFileError);
    EXPECT_EQ(stream.Position(), 0);
}

TEST(BufStream, SeekingBackAfterEndOfFileReadsAgain) {
    TTempDir dir;
    WriteFile(dir.File("f"), "A\r\nB");
    TBufStream stream(dir.File("f"), 4096, TOpenMode::Read);
    EXPECT_EQ(ReadAllLines(stream).size(), 2u);
    stream.Seek(0, TSeekOrigin::Begin);
    auto lines = ReadAllLines(stream);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].first, "B");
}

// Random reads, writes, seeks and truncations with small buffers against a plain string.
TEST(BufStream, MatchesAPlainStringUnderRandomOperations) {
    std::mt19937 random(20011);
    for (int bufSize : {1, 3, 8, 64}) {
        SCOPED_TRACE("buffer " + std::to_string(bufSize));
        TTempDir dir;
        std::string model = Pattern(100);
        WriteFile(dir.File("f"), model);
        TBufStream stream(dir.File("f"), bufSize, TOpenMode::ReadWriteExclusive);
        int64_t pos = 0;
        for (int step = 0; step < 2000; ++step) {
            int len = static_cast<int>(random() % 20);
            switch (random() % 6) {
            case 0:
            case 1: {
                std::string buf(static_cast<size_t>(len), '\0');
                int64_t n = stream.Read(buf.data(), len);
                int64_t expected =
                    std::max<int64_t>(0, std::min<int64_t>(len, static_cast<int64_t>(model.size()) - pos));
                ASSERT_EQ(n, expected) << "step " << step;
                ASSERT_EQ(buf.substr(0, static_cast<size_t>(n)),
                          model.substr(std::min<size_t>(pos, model.size()), n));
                pos += n;
                break;
            }
            case 2:
            case 3: {
                std::string data(static_cast<size_t>(len), static_cast<char>('A' + step % 26));
                stream.Write(data.data(), len);
                if (len == 0)
                    break;
                if (model.size() < static_cast<size_t>(pos))
                    model.resize(static_cast<size_t>(pos), '\0');
                model.replace(static_cast<size_t>(pos), std::min<size_t>(len, model.size() - pos), data);
                pos += len;
                break;
            }
            case 4:
                pos = static_cast<int64_t>(random() % (model.size() + 10));
                ASSERT_EQ(stream.Seek(pos, TSeekOrigin::Begin), pos);
                break;
            default:
                if (random() % 4 == 0) {
                    size_t newSize = random() % (model.size() + 10);
                    stream.SetSize(static_cast<int64_t>(newSize));
                    model.resize(newSize, '\0');
                    pos = std::min<int64_t>(pos, static_cast<int64_t>(newSize));
                } else {
                    stream.Flush();
                }
                break;
            }
            ASSERT_EQ(stream.Position(), pos) << "step " << step;
        }
        stream.Flush();
        EXPECT_EQ(stream.Size(), static_cast<int64_t>(model.size()));
        EXPECT_EQ(ReadFile(dir.File("f")), model);
    }
}

TEST(BufStream, DestructorFlushes) {
    TTempDir dir;
    {
        TBufStream stream(dir.File("f"), 1024, TOpenMode::WriteExclusiveCreate);
        stream.WriteBuffer("hello", 5);
    }
    EXPECT_EQ(ReadFile(dir.File("f")), "hello");
}

TEST(BufStream, OpenModesCreateAndTruncate) {
    TTempDir dir;
    try {
        TBufStream stream(dir.File("missing"), 16, TOpenMode::Read);
        FAIL() << "opening a missing file must throw";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Code, ENOENT);
    }
    EXPECT_THROW(TBufStream(dir.File("missing"), 16, TOpenMode::ReadWriteExclusive), EFileError);

    for (TOpenMode mode : {TOpenMode::WriteExclusiveCreate, TOpenMode::ReadWriteExclusiveCreate,
                           TOpenMode::ReadWriteSharedCreate}) {
        WriteFile(dir.File("kept"), "data");
        { TBufStream stream(dir.File("kept"), 16, mode); }
        EXPECT_EQ(ReadFile(dir.File("kept")), "data");
        std::string name = dir.File("new" + std::to_string(static_cast<int>(mode)));
        { TBufStream stream(name, 16, mode); }
        EXPECT_EQ(ReadFile(name), "");
    }

    WriteFile(dir.File("old"), "data");
    { TBufStream stream(dir.File("old"), 16, TOpenMode::Create); }
    EXPECT_EQ(ReadFile(dir.File("old")), "");
}

TEST(BufStream, ShareModesBetweenTwoStreams) {
    struct Case {
        TOpenMode first, second;
        bool secondOpens;
    };
    const Case cases[] = {
        {TOpenMode::Read, TOpenMode::Read, true},
        {TOpenMode::Read, TOpenMode::ReadWriteExclusive, false},
        {TOpenMode::ReadWriteExclusive, TOpenMode::Read, false},
        {TOpenMode::ReadWriteExclusive, TOpenMode::ReadWriteExclusive, false},
        {TOpenMode::WriteExclusiveCreate, TOpenMode::ReadWriteExclusiveCreate, false},
        {TOpenMode::ReadWriteExclusive, TOpenMode::Create, false},
        {TOpenMode::ReadWriteSharedCreate, TOpenMode::ReadWriteSharedCreate, true},
        {TOpenMode::ReadWriteSharedCreate, TOpenMode::ReadWriteExclusive, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.first)) + " then " +
                     std::to_string(static_cast<int>(c.second)));
        TTempDir dir;
        WriteFile(dir.File("f"), "data");
        auto first = std::make_unique<TBufStream>(dir.File("f"), 16, c.first);
        if (c.secondOpens) {
            EXPECT_NO_THROW(TBufStream(dir.File("f"), 16, c.second));
        } else {
            try {
                TBufStream second(dir.File("f"), 16, c.second);
                ADD_FAILURE() << "the second open must fail";
            } catch (const EFileError& e) {
                EXPECT_EQ(e.Code, EWOULDBLOCK);
            }
            // A refused Create must not have emptied the file the other stream holds.
            EXPECT_EQ(ReadFile(dir.File("f")), "data");
            first.reset();
            EXPECT_NO_THROW(TBufStream(dir.File("f"), 16, c.second));
        }
    }
}

TEST(BufStream, ByteRangeLocksBetweenOpenFileDescriptions) {
    TTempDir dir;
    WriteFile(dir.File("f"), "data");
    TBufStream a(dir.File("f"), 16, TOpenMode::ReadWriteSharedCreate);
    TBufStream b(dir.File("f"), 16, TOpenMode::ReadWriteSharedCreate);

    EXPECT_TRUE(a.LockRange(0, 1));
    EXPECT_FALSE(b.LockRange(0, 1));
    EXPECT_FALSE(b.LockRange(0, 1, false));
    EXPECT_TRUE(b.LockRange(1, 1));
    EXPECT_TRUE(a.UnlockRange(0, 1));
    EXPECT_TRUE(b.LockRange(0, 1));
    EXPECT_TRUE(b.UnlockRange(0, 2));

    EXPECT_TRUE(a.LockRange(0, 1, false));
    EXPECT_TRUE(b.LockRange(0, 1, false));
    EXPECT_FALSE(b.LockRange(0, 1, true));
}

TEST(BufStream, ByteRangeLockReleasedWhenTheStreamCloses) {
    TTempDir dir;
    WriteFile(dir.File("f"), "data");
    TBufStream b(dir.File("f"), 16, TOpenMode::ReadWriteSharedCreate);
    {
        TBufStream a(dir.File("f"), 16, TOpenMode::ReadWriteSharedCreate);
        ASSERT_TRUE(a.LockRange(0, 1));
        EXPECT_FALSE(b.LockRange(0, 1));
    }
    EXPECT_TRUE(b.LockRange(0, 1));
}
