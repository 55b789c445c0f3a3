// The diagnostics log is the one object the window's thread and the session
// worker write at once. Here two writers fill a real LogFile with long lines
// and traffic dumps, past its 5 MiB limit several times (each time the full
// log is copied to admin.log.1 and the log starts afresh), while a third
// thread keeps copying both generations out as the log export does. The thread sanitizer
// watches the locking, and its first report fails the run; this program
// checks what the locking is for, which lives partly in the file position
// where the sanitizer cannot see it: every entry of the log, of the kept log
// and of every copy is whole and in its writer's order, no line starts past
// the limit, the kept log is a full one, and every copy succeeds.
#include "log/HexDump.h"
#include "log/LogFile.h"
#include "log/LogFormat.h"
#include "log/LogLevel.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The log's limit: a file longer than this is kept and emptied before the next line.
const size_t kLimit = 5 * 1048576;

const int kWriters = 2;
const int kLinesPerWriter = 8000;
const int kDumpEvery = 8;
const int kFillerMin = 100;
const int kFillerSpread = 2000;
// Past the dump's 4096-byte cut now and then.
const int kDumpSpread = 4200;
const int kMinCopies = 5;

const int kLevel[kWriters] = {kLogWarn, kLogError};
const char* const kTag[kWriters] = {"[WARN] ", "[ERROR]"};
const char* const kDirection[kWriters] = {"[Local -> Remote]", "[Local <- Remote]"};
const std::string kDoubleRule = std::string(78, '=') + "\n";
const std::string kSingleRule = std::string(78, '-') + "\n";
// Where a copy of the log passes from the kept generation to the current one.
const std::string kSeam = "-------- admin.log.1 ends here; admin.log follows --------\r\n";
// Stamps have a fixed width: any time gives an entry's length.
const LogTime kAnyTime = {2026, 12, 7, 9, 5, 3, 42};

std::string LineText(int writer, int index)
{
    char head[40];
    std::snprintf(head, sizeof(head), "writer %d line %06d ", writer, index);
    return head + std::string(kFillerMin + (index * 131) % kFillerSpread, static_cast<char>('a' + index % 26));
}

int DumpLength(int index)
{
    return 1 + (index * 613) % kDumpSpread;
}

std::vector<unsigned char> DumpData(int writer, int length)
{
    std::vector<unsigned char> data(length);
    for (int k = 0; k < length; ++k)
        data[k] = static_cast<unsigned char>(k * 31 + writer * 101 + length);
    return data;
}

// "YYYY-MM-DD HH:MM:SS.mmm"
bool IsStamp(const std::string& s, size_t at)
{
    static const char kLayout[] = "dddd-dd-dd dd:dd:dd.ddd";
    if (at + sizeof(kLayout) - 1 > s.size())
        return false;
    for (size_t i = 0; i + 1 < sizeof(kLayout); ++i) {
        const char c = s[at + i];
        if (kLayout[i] == 'd' ? (c < '0' || c > '9') : c != kLayout[i])
            return false;
    }
    return true;
}

// What follows `at`, with the bytes a terminal would swallow (NUL from a hole, CR) as \xNN.
std::string Excerpt(const std::string& s, size_t at)
{
    std::string out;
    for (size_t i = at; i < s.size() && i < at + 240; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char hex[8];
        std::snprintf(hex, sizeof(hex), "\\x%02x", c);
        out += (c >= 0x20 && c < 0x7F) || c == '\n' ? std::string(1, static_cast<char>(c)) : hex;
    }
    return out;
}

bool At(const std::string& s, size_t at, const std::string& what)
{
    return s.compare(at, what.size(), what) == 0;
}

// Walks `content` entry by entry. Each writer's lines come in rising order, and
// its dump, if any, follows its own line of the same number before its next
// line; a line or block torn, mixed with another, lost or doubled breaks that.
bool EveryEntryWhole(const std::string& content, const char* what)
{
    int lastLine[kWriters] = {-1, -1};
    bool dumped[kWriters] = {false, false};
    size_t pos = 0;
    auto fail = [&](const char* why) {
        std::printf("tsan: %s: %s at offset %zu of %zu:\n%s\n", what, why, pos, content.size(),
                    Excerpt(content, pos).c_str());
        return false;
    };
    while (pos < content.size()) {
        if (At(content, pos, kDoubleRule)) {
            const size_t header = pos + kDoubleRule.size();
            if (!IsStamp(content, header) || !At(content, header + 23, "   "))
                return fail("dump header without stamp");
            int w = 0;
            while (w < kWriters && !At(content, header + 26, kDirection[w]))
                ++w;
            int length = 0;
            if (w == kWriters || std::sscanf(content.c_str() + header + 43, "   data_len:%d", &length) != 1 ||
                length < 1 || length > kDumpSpread)
                return fail("dump header of no writer");
            if (dumped[w] || (lastLine[w] >= 0 && (lastLine[w] % kDumpEvery != 0 || length != DumpLength(lastLine[w]))))
                return fail("dump out of its writer's order");
            const std::vector<unsigned char> data = DumpData(w, length);
            const std::string rest = "   data_len:" + std::to_string(length) + "\n" + kSingleRule +
                                     HexDumpBody(data.data(), length) + "\n" + kDoubleRule + "\n";
            if (!At(content, header + 43, rest))
                return fail("torn dump");
            dumped[w] = true;
            pos = header + 43 + rest.size();
            continue;
        }
        if (pos > kLimit)
            return fail("line past the reset size");
        if (!IsStamp(content, pos) || !At(content, pos + 23, "   "))
            return fail("line without stamp");
        int w = 0;
        while (w < kWriters && !At(content, pos + 26, kTag[w]))
            ++w;
        int writer = -1;
        int index = -1;
        if (w == kWriters || !At(content, pos + 33, " ") ||
            std::sscanf(content.c_str() + pos + 34, "writer %d line %d", &writer, &index) != 2 || writer != w)
            return fail("line of no writer");
        if (index <= lastLine[w] || index >= kLinesPerWriter)
            return fail("line out of its writer's order");
        const std::string text = LineText(w, index) + "\r\n";
        if (!At(content, pos + 34, text))
            return fail("torn line");
        lastLine[w] = index;
        dumped[w] = false;
        pos += 34 + text.size();
    }
    return true;
}

// The host's paths are ASCII (host_shim/windows.h): one character each way.
std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Writer(LogFile& log, int w)
{
    for (int i = 0; i < kLinesPerWriter; ++i) {
        log.Write(kLevel[w], LineText(w, i).c_str());
        if (i % kDumpEvery == 0) {
            const int length = DumpLength(i);
            const std::vector<unsigned char> data = DumpData(w, length);
            log.DumpTraffic(w + 1, reinterpret_cast<const char*>(data.data()), length);
        }
    }
}

}  // namespace

// Run by hand or by scripts/fuzz alike, the first report ends the run with
// TSan's exit code 66. TSAN_OPTIONS still overrides this.
extern "C" const char* __tsan_default_options()
{
    return "halt_on_error=1 second_deadlock_stack=1";
}

int main()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumaro-tsan-XXXXXX";
    if (!mkdtemp(&dir[0])) {
        std::perror("tsan: mkdtemp");
        return 1;
    }
    const std::string logPath = dir + "/admin.log";
    const std::string copyPath = dir + "/copy.log";

    // A line starts at or before the limit, and each writer dumps at most once
    // between its lines: no file grows past the limit by more than one line and
    // one dump per writer. Each such file takes at most `ceiling` bytes of what
    // was written, so there were at least written / ceiling of them.
    size_t written = 0;
    size_t longestLine = 0;
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kLinesPerWriter; ++i) {
            const size_t line = FormatLogLine(kAnyTime, kLevel[w], LineText(w, i).c_str()).size();
            longestLine = std::max(longestLine, line);
            written += line;
            if (i % kDumpEvery == 0) {
                const std::vector<unsigned char> data = DumpData(w, DumpLength(i));
                written += FormatDumpBlock(kAnyTime, w + 1, data.data(), DumpLength(i)).size();
            }
        }
    const std::vector<unsigned char> longest = DumpData(0, kDumpSpread);
    const size_t longestDump = FormatDumpBlock(kAnyTime, 1, longest.data(), kDumpSpread).size();
    const size_t ceiling = kLimit + longestLine + kWriters * longestDump;
    const size_t resets = (written - 1) / ceiling;

    bool ok = true;
    int copies = 0;
    int copiesWhileWriting = 0;
    std::string content;
    {
        LogFile log;
        log.Open(Wide(logPath).c_str(), FALSE, kLogFlow);

        std::atomic<int> ready{0};
        std::atomic<int> writing{kWriters};
        auto start = [&ready] {
            ++ready;
            while (ready.load() < kWriters + 1)
                std::this_thread::yield();
        };
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([&, w] {
                start();
                Writer(log, w);
                --writing;
            });
        // The export's side: copy while the writers run, and check each copy.
        std::thread copier([&] {
            start();
            while (ok && (writing.load() > 0 || copies < kMinCopies)) {
                const bool during = writing.load() > 0;
                const int rc = log.CopyTo(Wide(copyPath).c_str());
                ++copies;
                copiesWhileWriting += during;
                if (rc != 0) {
                    std::printf("tsan: copy %d returned %d\n", copies, rc);
                    ok = false;
                    break;
                }
                // The kept generation, the seam line, then the log; before
                // the first reset, the log alone.
                const std::string copy = ReadAll(copyPath);
                const size_t seam = copy.find(kSeam);
                const std::string parts[2] = {seam == std::string::npos ? std::string() : copy.substr(0, seam),
                                              seam == std::string::npos ? copy : copy.substr(seam + kSeam.size())};
                for (const std::string& part : parts) {
                    if (part.size() > ceiling) {
                        std::printf("tsan: copy %d holds %zu bytes of one file, over %zu\n", copies, part.size(), ceiling);
                        ok = false;
                    }
                    ok = EveryEntryWhole(part, "copy") && ok;
                }
            }
        });
        for (std::thread& t : writers)
            t.join();
        copier.join();
    }
    content = ReadAll(logPath);
    const std::wstring suffix = kKeptLogSuffix;
    const std::string keptPath = logPath + std::string(suffix.begin(), suffix.end());
    const std::string kept = ReadAll(keptPath);

    if (content.empty() || content.size() > ceiling) {
        std::printf("tsan: the log is %zu bytes, not between 1 and %zu\n", content.size(), ceiling);
        ok = false;
    }
    if (kept.size() <= kLimit || kept.size() > ceiling) {
        std::printf("tsan: the kept log is %zu bytes, not past %zu and at most %zu\n", kept.size(), kLimit, ceiling);
        ok = false;
    }
    ok = EveryEntryWhole(content, "log") && ok;
    ok = EveryEntryWhole(kept, "kept log") && ok;
    // A workload too small to reset twice, or copies that never met a writer, test nothing.
    if (ok && (resets < 2 || copiesWhileWriting < 2)) {
        std::printf("tsan: %zu bytes give %zu resets and %d of %d copies overlapped the writers; both must be 2 or more\n",
                    written, resets, copiesWhileWriting, copies);
        ok = false;
    }
    if (!ok) {
        std::printf("tsan: files kept in %s\n", dir.c_str());
        return 1;
    }
    unlink(logPath.c_str());
    unlink(keptPath.c_str());
    unlink(copyPath.c_str());
    rmdir(dir.c_str());
    std::printf("tsan: %d writers, %zu bytes (at least %zu resets), %d copies (%d while writing): every entry whole\n",
                kWriters, written, resets, copies, copiesWhileWriting);
    return 0;
}
