#include "log/LogFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "framework/Cp949.h"
#include "framework/FileInUse.h"
#include "framework/Format.h"
#include "framework/PlainFile.h"
#include "log/LogFormat.h"

namespace {

const size_t kSizeLimit = 5242880;
const size_t kHardCap = 8388608;
const LogTime kAnyTime = {2026, 12, 6, 9, 5, 3, 7};
const size_t kStampLength = 23;

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteAll(const std::wstring& path, const std::string& content)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "2026-12-06 09:05:03.007" at the start of a line or dump header.
bool ParseStamp(const std::string& text, LogTime* time)
{
    const char shape[] = "0000-00-00 00:00:00.000";
    if (text.size() < kStampLength)
        return false;
    for (size_t i = 0; i < kStampLength; ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if ((shape[i] == '0') != digit || (!digit && text[i] != shape[i]))
            return false;
    }
    return sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d", &time->year, &time->month, &time->day,
                  &time->hour, &time->minute, &time->second, &time->millisecond) == 7;
}

// The part of a single-line log after its time stamp, or a note saying why there is none.
std::string AfterStamp(const std::string& content)
{
    LogTime time;
    if (!ParseStamp(content, &time))
        return "<no time stamp in: " + content.substr(0, 200) + ">";
    return content.substr(kStampLength);
}

// The lines of `content` from `from` on, each after its time stamp.
std::vector<std::string> LinesFrom(const std::string& content, size_t from)
{
    std::vector<std::string> lines;
    for (size_t end; from < content.size(); from = end + 2) {
        end = content.find("\r\n", from);
        lines.push_back(AfterStamp(content.substr(from, end - from)));
        if (end == std::string::npos)
            break;
    }
    return lines;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int serial = 0;
        wchar_t temp[MAX_PATH] = L"";
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u) << "no temporary folder";
        // Named outside CP949, as a user's folder may be: every log here is
        // opened, kept and copied there.
        m_dir = std::wstring(temp) + kOutsideCp949 + Widen(StrFormat("_%lu_%d", GetCurrentProcessId(), ++serial));
        ASSERT_TRUE(CreateDirectoryW(m_dir.c_str(), nullptr)) << "cannot create " << m_dir;
    }

    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((m_dir + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((m_dir + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        EXPECT_TRUE(RemoveDirectoryW(m_dir.c_str())) << "left behind: " << m_dir;
    }

    std::wstring PathOf(const std::string& name) const { return m_dir + L"\\" + Widen(name); }

    // Serbian and an emoji: three UTF-16 units that CP949 lacks.
    static constexpr const wchar_t* kOutsideCp949 = L"lumaro_log_\u0402\U0001F600";
    std::wstring m_dir;
};

} // namespace

TEST_F(LogFileTest, Write_FiltersBelowMinimumButAlwaysWritesLevelZero)
{
    struct Case {
        int minLevel;
        int level;
        const char* tag; // null when the line must be dropped
    };
    const Case cases[] = {
        {1, 0, "[MOST] "},  {1, 1, "[FLOW] "}, {1, 2, "[WARN] "}, {1, 3, "[ERROR]"},
        {1, 7, "[XXX]  "},  {1, -1, nullptr},  {1, INT_MIN, nullptr}, {5, 0, "[MOST] "},
        {5, 3, nullptr},    {-5, -1, "[XXX]  "},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::wstring path = PathOf(StrFormat("filter%d.log", index++));
        {
            LogFile log;
            log.Open(path.c_str(), FALSE, c.minLevel);
            log.Write(c.level, "probe");
        }
        const std::string content = ReadAll(path);
        if (!c.tag)
            EXPECT_EQ(content, "") << "level " << c.level << " must be dropped with minimum " << c.minLevel;
        else
            EXPECT_EQ(AfterStamp(content), std::string("   ") + c.tag + " probe\r\n")
                << "level " << c.level << " with minimum " << c.minLevel;
    }
}

TEST_F(LogFileTest, Write_KeepsAnsiTextBytesUnchanged)
{
    const std::wstring path = PathOf("ansi.log");
    {
        LogFile log;
        log.Open(path.c_str(), FALSE, 1);
        log.Write(kLogFlow, "잔여시간");
    }
    EXPECT_EQ(AfterStamp(ReadAll(path)), "   [FLOW]  \xc0\xdc\xbf\xa9\xbd\xc3\xb0\xa3\r\n")
        << "the CP949 bytes must reach the file as they are";
}

TEST_F(LogFileTest, Open_AppendKeepsOldContentOtherwiseStartsAfresh)
{
    struct Case {
        BOOL append;
        const char* name;
    };
    const Case cases[] = {{TRUE, "append.log"}, {FALSE, "create.log"}};
    const std::string old = "old line\r\n";
    for (const Case& c : cases) {
        const std::wstring path = PathOf(c.name);
        WriteAll(path, old);
        {
            LogFile log;
            log.Open(path.c_str(), c.append, 1);
            log.Write(kLogFlow, "new line");
        }
        std::string content = ReadAll(path);
        if (c.append) {
            EXPECT_EQ(content.compare(0, old.size(), old), 0) << "append must keep the old content: " << content;
            content.erase(0, old.size());
        }
        EXPECT_EQ(AfterStamp(content), "   [FLOW]  new line\r\n") << "append=" << c.append;
    }
}

TEST_F(LogFileTest, Open_SecondCallChangesNothing)
{
    const std::wstring first = PathOf("first.log");
    const std::wstring second = PathOf("second.log");
    {
        LogFile log;
        log.Open(first.c_str(), FALSE, 1);
        log.Open(second.c_str(), FALSE, 5);
        log.Write(kLogFlow, "still here");
    }
    EXPECT_FALSE(Exists(second)) << "a second Open must not create a file";
    EXPECT_EQ(AfterStamp(ReadAll(first)), "   [FLOW]  still here\r\n")
        << "the first path and minimum level must stay in force";
}

TEST_F(LogFileTest, Open_FailureLeavesLogClosedAndSilent)
{
    const std::wstring dest = PathOf("copy.log");
    LogFile log;
    log.Open(PathOf("missing\\admin.log").c_str(), FALSE, 1);
    log.Write(kLogFlow, "nowhere");
    log.DumpTraffic(kDumpReceived, "abc", 3);
    EXPECT_EQ(log.CopyTo(dest.c_str()), -10) << "a log whose open failed is closed";
    EXPECT_FALSE(Exists(dest)) << "CopyTo of a closed log must create no file";
}

TEST_F(LogFileTest, CopyTo_ClosedLogReturnsMinus10AndCreatesNoFile)
{
    const std::wstring dest = PathOf("copy.log");
    LogFile log;
    EXPECT_EQ(log.CopyTo(dest.c_str()), -10);
    EXPECT_FALSE(Exists(dest)) << "CopyTo of a closed log must create no file";
}

TEST_F(LogFileTest, CopyTo_ReturnsMinus20WhenDestinationCannotBeOpened)
{
    const std::wstring path = PathOf("admin.log");
    const std::wstring missingFolder = PathOf("missing\\copy.log");
    const std::wstring destinations[] = {path, missingFolder, m_dir, path + L".1"};
    WriteAll(path + L".1", "run before\r\n");
    {
        LogFile log;
        log.Open(path.c_str(), FALSE, 1);
        log.Write(kLogFlow, "before");

        // A viewer or a backup reads it, letting the log write on; no other writer gets in.
        for (DWORD access : {DWORD(GENERIC_READ), DWORD(GENERIC_WRITE)}) {
            AutoCloseHandle other(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            EXPECT_EQ(other.Valid(), access == GENERIC_READ) << "access " << std::hex << access;
        }

        for (const std::wstring& dest : destinations)
            EXPECT_EQ(log.CopyTo(dest.c_str()), -20) << "destination " << dest;
        log.Write(kLogFlow, "after");
    }
    const std::string content = ReadAll(path);
    const size_t split = content.find("\r\n") + 2;
    EXPECT_EQ(AfterStamp(content.substr(0, split)), "   [FLOW]  before\r\n") << "log was: " << content;
    EXPECT_EQ(AfterStamp(content.substr(split)), "   [FLOW]  after\r\n") << "log was: " << content;
    EXPECT_FALSE(Exists(missingFolder));
    EXPECT_EQ(ReadAll(path + L".1"), "run before\r\n") << "the generation before, picked as the destination";
}

TEST_F(LogFileTest, CopyTo_AFailedReadOrWriteIsReportedNotSuccess)
{
    // A full disk: Wine writes Z:\dev\full through to the device, which
    // refuses every byte, as a full volume does.
    {
        LogFile log;
        log.Open(PathOf("admin.log").c_str(), FALSE, 1);
        log.Write(kLogFlow, "a line that does not fit");
        EXPECT_EQ(log.CopyTo(L"Z:\\dev\\full"), kCopyWriteFailed);
        log.Write(kLogFlow, "the log goes on");
    }
    EXPECT_NE(ReadAll(PathOf("admin.log")).find("the log goes on"), std::string::npos);

    // A source that cannot be read: opened for writing only.
    const std::wstring source = PathOf("source.bin");
    WriteAll(source, "bytes");
    HANDLE in = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(PathOf("copy.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CopyFileContents(in, out), kCopyReadFailed);
    CloseHandle(in);
    CloseHandle(out);
}

TEST_F(LogFileTest, CopyTo_DestinationBecomesExactlyTheLogAndLaterLinesFollowIt)
{
    struct Case {
        const char* name;
        bool exists;
        size_t oldLength; // of the file already at the destination
    };
    const Case cases[] = {{"none", false, 0}, {"shorter", true, 1}, {"longer", true, 10000}};
    for (const Case& c : cases) {
        const std::wstring path = PathOf(std::string(c.name) + ".log");
        const std::wstring dest = PathOf(std::string(c.name) + ".copy");
        if (c.exists)
            WriteAll(dest, std::string(c.oldLength, 'z'));
        {
            LogFile log;
            log.Open(path.c_str(), FALSE, 1);
            log.Write(kLogFlow, "one");
            log.DumpTraffic(kDumpReceived, "abc", 3);
            EXPECT_EQ(log.CopyTo(dest.c_str()), 0) << c.name;
            log.Write(kLogError, "three");
        }
        const std::string content = ReadAll(path);
        const std::string copy = ReadAll(dest);
        ASSERT_LT(copy.size(), content.size()) << c.name << ": copy must hold the log as it was, no more";
        EXPECT_EQ(content.substr(0, copy.size()), copy) << c.name << ": copy must be the log's bytes";
        EXPECT_EQ(copy.find('z'), std::string::npos) << c.name << ": old bytes left in the copy";
        EXPECT_EQ(AfterStamp(content.substr(copy.size())), "   [ERROR] three\r\n")
            << c.name << ": a line after the copy must go to the end of the log";
    }
}

TEST_F(LogFileTest, Write_KeepsTheFullLogAsDotOneWhenDumpsCarriedItPastTheLimit)
{
    const std::wstring path = PathOf("big.log");
    const std::vector<char> data(5000, 'd');
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const size_t blockSize = FormatDumpBlock(kAnyTime, kDumpReceived, bytes, 5000).size();
    const size_t dumps = kSizeLimit / blockSize + 1;
    ASSERT_GT(dumps * blockSize, kSizeLimit);
    {
        LogFile log;
        log.Open(path.c_str(), FALSE, 1);
        for (size_t i = 0; i < dumps; ++i)
            log.DumpTraffic(kDumpReceived, data.data(), 5000);
        log.Write(kLogFlow, "after reset");
    }
    EXPECT_EQ(AfterStamp(ReadAll(path)), "   [FLOW]  after reset\r\n")
        << "the line must be the first of an emptied file";
    EXPECT_EQ(ReadAll(path + L".1").size(), dumps * blockSize) << "big.log.1 must hold the full log's dumps";
}

TEST_F(LogFileTest, Write_KeepsFileOfExactlyTheLimitAndEmptiesItOnceLonger)
{
    const std::wstring path = PathOf("limit.log");
    const std::wstring snapshot = PathOf("snapshot.log");
    const std::string old(kSizeLimit, 'o');
    WriteAll(path, old);
    {
        LogFile log;
        log.Open(path.c_str(), TRUE, 1);
        log.Write(kLogFlow, "first");
        ASSERT_EQ(log.CopyTo(snapshot.c_str()), 0);
        log.Write(kLogFlow, "second");
    }
    const std::string before = ReadAll(snapshot);
    ASSERT_EQ(before.size(), kSizeLimit + 34 + 5 + 2) << "a file of exactly 5,242,880 bytes must be kept";
    EXPECT_EQ(before.compare(0, kSizeLimit, old), 0) << "old content must be kept at the limit";
    EXPECT_EQ(AfterStamp(before.substr(kSizeLimit)), "   [FLOW]  first\r\n");
    EXPECT_EQ(AfterStamp(ReadAll(path)), "   [FLOW]  second\r\n") << "a file past the limit must be emptied";
    EXPECT_TRUE(ReadAll(path + L".1") == before) << "limit.log.1 must be the full log, byte for byte";
}

TEST_F(LogFileTest, Write_EscapesControlCharactersSoNoTextCanForgeALine)
{
    const std::wstring path = PathOf("escape.log");
    {
        LogFile log;
        log.Open(path.c_str(), FALSE, 1);
        log.Write(kLogFlow, "Link[7]\r\n2026-12-06 09:05:03.007   [ERROR] forged\x1b[2J\x7f\x01\ttab \xc0\xdc");
        log.WriteLines(kLogFlow, {" [idx=0]", " Name=a\nb"});
    }
    const std::string content = ReadAll(path);
    const size_t split = content.find("\r\n") + 2;
    EXPECT_EQ(AfterStamp(content.substr(0, split)),
              "   [FLOW]  Link[7]\\x0d\\x0a2026-12-06 09:05:03.007   [ERROR] forged\\x1b[2J\\x7f\\x01\ttab \xc0\xdc\r\n")
        << "TAB and CP949 text stay, control characters show escaped";
    EXPECT_EQ(AfterStamp(content.substr(split)), "   [FLOW]   [idx=0]\n Name=a\\x0ab\r\n")
        << "an entry of several lines keeps only its own line breaks";
}

TEST(PlainFile, OnlyAFileWithOneNameAndNoReparsePointIsPlain)
{
    struct Case {
        DWORD attributes, links;
        FileKind kind;
    } cases[] = {
        {FILE_ATTRIBUTE_ARCHIVE, 1, FileKind::Plain},
        {FILE_ATTRIBUTE_ARCHIVE, 2, FileKind::ManyLinks},
        {FILE_ATTRIBUTE_REPARSE_POINT, 1, FileKind::ReparsePoint},  // Wine makes none: only Windows shows this whole
        {FILE_ATTRIBUTE_DIRECTORY, 1, FileKind::NotAFile},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeFile({c.attributes, {}, {}, {}, 0, 0, 0, c.links, 0, 0}), c.kind) << c.attributes;
}

TEST_F(LogFileTest, OpenAndKeep_RefuseANamePlantedAsAHardLink_AFullLogNotKeptGrowsOnToTheCapThenStartsAfresh)
{
    const std::wstring victim = PathOf("victim.txt"), planted = PathOf("planted.log"), full = PathOf("full.log");
    const std::string precious = "a file of the user's that no log may touch\r\n";
    WriteAll(victim, precious);
    ASSERT_TRUE(CreateHardLinkW(planted.c_str(), victim.c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkW((full + L".1").c_str(), victim.c_str(), nullptr));
    LogFile refused;
    EXPECT_EQ(DescribeRefusal(refused.Open(planted.c_str(), FALSE, 1)), "3 links");
    refused.Write(kLogFlow, "nowhere");
    const std::string named = Narrow(full);
    EXPECT_NE(named.find("\\lumaro_log_???_"), std::string::npos) << "one '?' for each UTF-16 unit CP949 lacks";
    const std::string grows = "   [ERROR] " + named + ".1 not kept (3 links); the log grows on to 8 MiB";
    const std::string lost = "   [ERROR] " + named + ".1 not kept (3 links); the full log before this line is lost";
    struct Case {
        size_t size;  // of the log before the two lines
        std::vector<std::string> lines;
    } cases[] = {
        {kSizeLimit + 1, {grows, "   [FLOW]  one", "   [FLOW]  two"}},
        {kHardCap + 1, {lost, "   [FLOW]  two"}},  // the next line past the cap tries again, then empties
    };
    for (const Case& c : cases) {
        WriteAll(full, std::string(c.size, 'o'));
        {
            LogFile log;
            log.Open(full.c_str(), TRUE, 1);
            log.Write(kLogFlow, "one");
            log.Write(kLogFlow, "two");
        }
        const std::string content = ReadAll(full);
        const bool grew = content.size() > c.size;
        EXPECT_EQ(LinesFrom(content, grew ? c.size : 0), c.lines) << c.size << " bytes, grown: " << grew;
    }
    EXPECT_EQ(ReadAll(victim), precious) << "the file behind a planted link was written or emptied";
}

TEST_F(LogFileTest, OpenNewRun_TheLastRunBecomesDotOneUnlessAnotherProgramHoldsItThroughTheRetries)
{
    // A holder that lets go between the retries: FileInUseTest.
    struct Case {
        const char* name;
        bool setApart;  // else a viewer holds admin.log.1 without delete sharing
    } cases[] = {{"free", true}, {"viewed", false}};
    for (const Case& c : cases) {
        const std::wstring path = PathOf(std::string(c.name) + ".log"), kept = path + L".1";
        WriteAll(path, "last run\r\n");
        WriteAll(kept, "run before\r\n");
        AutoCloseHandle viewer(c.setApart ? nullptr : CreateFileW(kept.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                                  nullptr, OPEN_EXISTING, 0, nullptr));
        std::string notKept;
        LogFile log;
        const DWORD start = GetTickCount();
        EXPECT_TRUE(log.OpenNewRun(path.c_str(), 1, notKept).Opened()) << c.name;
        EXPECT_TRUE(c.setApart || GetTickCount() - start >= kFileInUsePauseMs) << "the held file was not tried again";
        log.Write(kLogFlow, "this run");
        viewer.Reset();
        EXPECT_EQ(log.CopyTo((path + L".saved").c_str()), 0) << c.name;
        const std::string content = ReadAll(path), generation = c.setApart ? "last run\r\n" : "run before\r\n";
        EXPECT_EQ(ReadAll(kept), generation) << c.name;
        EXPECT_EQ(LinesFrom(content, c.setApart ? 0 : 10), std::vector<std::string>{"   [FLOW]  this run"}) << c.name;
        EXPECT_EQ(notKept.empty(), c.setApart) << c.name << ": " << notKept;
        EXPECT_EQ(content.compare(0, 10, "last run\r\n") == 0, !c.setApart) << c.name << ": the last run is lost";
        EXPECT_EQ(ReadAll(path + L".saved"), generation + "-------- " + c.name + ".log.1 ends here; " + c.name +
                                                 ".log follows --------\r\n" + content)
            << c.name << ": the export, the generation before first";
    }
}

TEST_F(LogFileTest, DumpTraffic_DoesNotEmptyFilePastTheLimit)
{
    const std::wstring path = PathOf("over.log");
    const std::string old(kSizeLimit + 1, 'o');
    WriteAll(path, old);
    {
        LogFile log;
        log.Open(path.c_str(), TRUE, 1);
        log.DumpTraffic(kDumpReceived, "abc", 3);
    }
    const std::string content = ReadAll(path);
    const size_t blockSize =
        FormatDumpBlock(kAnyTime, kDumpReceived, reinterpret_cast<const unsigned char*>("abc"), 3).size();
    ASSERT_EQ(content.size(), old.size() + blockSize) << "the dump must be appended to the full file";
    EXPECT_EQ(content.compare(0, old.size(), old), 0) << "old content must survive a dump";
}

namespace {

const int kLinesPerThread = 3000;
const int kDumpEvery = 10;

std::string ThreadLineText(int thread, int index)
{
    return StrFormat("thread %d line %05d %s", thread, index, std::string(40 + index % 60, 'a' + thread).c_str());
}

int ThreadLevel(int thread)
{
    return thread == 0 ? kLogFlow : kLogError;
}

std::vector<unsigned char> ThreadDumpData(int thread, int length)
{
    std::vector<unsigned char> data(length);
    for (int k = 0; k < length; ++k)
        data[k] = static_cast<unsigned char>(k * 31 + thread * 101 + length);
    return data;
}

int ThreadDumpLength(int index)
{
    return 1 + (index * 7) % 300;
}

// Walks the file entry by entry and rebuilds each one from its own stamp: a
// line or block torn or mixed with another cannot match its rebuilt text.
::testing::AssertionResult EveryEntryIsWhole(const std::string& content)
{
    const std::string rule = std::string(78, '=') + "\n";
    int nextLine[2] = {0, 0};
    int dumps[2] = {0, 0};
    size_t pos = 0;
    while (pos < content.size()) {
        LogTime time;
        if (content.compare(pos, rule.size(), rule) == 0) {
            const size_t header = pos + rule.size();
            if (!ParseStamp(content.substr(header, kStampLength), &time))
                return ::testing::AssertionFailure() << "dump without header stamp at " << pos;
            const int direction = content.compare(header + 26, 17, "[Local -> Remote]") == 0 ? 1 : 2;
            int length = 0;
            if (sscanf(content.c_str() + header + 26 + 17, "   data_len:%d", &length) != 1)
                return ::testing::AssertionFailure() << "dump header without length at " << pos;
            const std::vector<unsigned char> data = ThreadDumpData(direction - 1, length);
            const std::string expected = FormatDumpBlock(time, direction, data.data(), length);
            if (content.compare(pos, expected.size(), expected) != 0)
                return ::testing::AssertionFailure() << "torn dump at " << pos << ":\n" << content.substr(pos, 400);
            ++dumps[direction - 1];
            pos += expected.size();
            continue;
        }
        const size_t end = content.find("\r\n", pos);
        if (end == std::string::npos)
            return ::testing::AssertionFailure() << "unterminated line at " << pos;
        const std::string line = content.substr(pos, end + 2 - pos);
        int thread = -1;
        int index = -1;
        if (!ParseStamp(line, &time) || line.size() < 34 ||
            sscanf(line.c_str() + 34, "thread %d line %d", &thread, &index) != 2 || thread < 0 || thread > 1)
            return ::testing::AssertionFailure() << "malformed line at " << pos << ": " << line;
        if (index != nextLine[thread])
            return ::testing::AssertionFailure()
                   << "thread " << thread << " line " << index << " where " << nextLine[thread] << " was due";
        const std::string text = ThreadLineText(thread, index);
        if (line != FormatLogLine(time, ThreadLevel(thread), text.c_str()))
            return ::testing::AssertionFailure() << "torn line at " << pos << ": " << line;
        ++nextLine[thread];
        pos = end + 2;
    }
    for (int t = 0; t < 2; ++t) {
        if (nextLine[t] != kLinesPerThread || dumps[t] != kLinesPerThread / kDumpEvery)
            return ::testing::AssertionFailure() << "thread " << t << " left " << nextLine[t] << " lines and "
                                                 << dumps[t] << " dumps";
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(LogFileTest, WriteAndDumpTraffic_TwoThreadsNeverTearEachOthersEntries)
{
    const std::wstring path = PathOf("threads.log");
    {
        LogFile log;
        log.Open(path.c_str(), FALSE, 1);
        std::atomic<bool> go(false);
        auto writer = [&log, &go](int thread) {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < kLinesPerThread; ++i) {
                log.Write(ThreadLevel(thread), ThreadLineText(thread, i).c_str());
                if (i % kDumpEvery == 0) {
                    const int length = ThreadDumpLength(i);
                    const std::vector<unsigned char> data = ThreadDumpData(thread, length);
                    log.DumpTraffic(thread + 1, reinterpret_cast<const char*>(data.data()), length);
                }
            }
        };
        std::thread main(writer, 0);
        std::thread worker(writer, 1);
        go = true;
        main.join();
        worker.join();
    }
    EXPECT_TRUE(EveryEntryIsWhole(ReadAll(path)));
}
