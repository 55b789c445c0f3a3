// The frame, scanner and dump functions run on the session worker while the
// main thread uses the same code for its own frames and log blocks. They keep
// no state between calls; here several threads run them at once under the
// thread sanitizer, and every thread must get what one thread alone gets.
#include "log/HexDump.h"
#include "session/ResultParser.h"
#include "session/TelnetFrame.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kThreads = 4;
const int kRounds = 3000;

struct Result {
    std::string text;
    std::string reply;
    int outcome;
    std::string dump;
    std::string link;
    int rTime;

    bool operator==(const Result& o) const
    {
        return text == o.text && reply == o.reply && outcome == o.outcome && dump == o.dump && link == o.link &&
               rTime == o.rTime;
    }
};

std::vector<std::string> Frames()
{
    const std::string negotiation = "\xff\xfb\x01\xff\xfb\x03\xff\xfd\x03";
    std::vector<std::string> frames = {
        negotiation,
        negotiation + "Username: ",
        "\r\nPassword: ",
        "\r\nWelcome!\r\n",
        "junk\xff\xfd\x01Password:",
        std::string("\xff\xf1\xff\xfa\x18\x01\xff\xf0\xff\xfa\x01" "1\xff\xf0\xff\xff\r\nPassword: ", 22),
        std::string("Username:\0after", 15),
        "  1\tuser02\t10.0.0.6\t3\tup\r\n  2\tuser01\t10.0.0.5\t7\tup\r\n  Session-Timeout : 3600\r\n",
    };
    frames.push_back(std::string(1500, '\xff'));
    std::string all;
    for (int i = 0; i < 5000; ++i)
        all += static_cast<char>(i * 7);
    frames.push_back(all);
    return frames;
}

Result Handle(const std::string& frame)
{
    Result r;
    TelnetSplit split = SplitTelnetCommands(NormaliseLineEnds(frame.data(), static_cast<int>(frame.size())));
    r.text = split.text;
    r.reply = split.reply;
    r.outcome = ClassifyLoginText(split.text);
    r.dump = HexDumpBody(reinterpret_cast<const unsigned char*>(frame.data()), static_cast<int>(frame.size()));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < split.text.size()) {
        size_t end = split.text.find('\n', start);
        end = end == std::string::npos ? split.text.size() : end + 1;
        lines.push_back(split.text.substr(start, end - start));
        start = end;
    }
    r.link = ScanSummary(lines, "user01\t").link;
    r.rTime = ScanAuth(lines, -1).rTime;
    return r;
}

}  // namespace

int main()
{
    const std::vector<std::string> frames = Frames();
    std::vector<Result> alone;
    for (const std::string& f : frames)
        alone.push_back(Handle(f));

    std::atomic<int> ready{0};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads) {
            }
            for (int round = 0; round < kRounds; ++round) {
                size_t i = static_cast<size_t>(round + t) % frames.size();
                if (!(Handle(frames[i]) == alone[i]))
                    ++mismatches;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();

    const int checked = kThreads * kRounds;
    if (mismatches.load() != 0) {
        std::printf("tsan: %d of %d calls from %d threads differed from the single-thread result\n",
                    mismatches.load(), checked, kThreads);
        return 1;
    }
    std::printf("tsan: %d calls from %d threads at once, every result as on one thread\n", checked, kThreads);
    return 0;
}
