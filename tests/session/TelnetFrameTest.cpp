#include "session/TelnetFrame.h"

#include "framework/ScopedHandle.h"
#include "session/ResultCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <string>
#include <thread>
#include <vector>

// Bytes allocated through operator new in this test program: a bound on the
// work of a split that a busy machine cannot blur, as a clock could.
static std::atomic<size_t> g_allocated{0};

void* operator new(size_t size)
{
    g_allocated += size;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

namespace {

const int IAC = 255, WILL = 251, WONT = 252, DO = 253, DONT = 254, SB = 250, SE = 240, NOP = 241, GA = 249;

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

std::string Hex(const std::string& s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

// The login events by their codes, 0 for none, as the tables show them.
const int kNoEvent = 0;
const int kEvtUsernamePrompt = TypeOf(SessionEvent::UsernamePrompt);
const int kEvtPasswordPrompt = TypeOf(SessionEvent::PasswordPrompt);
const int kEvtLoginAccepted = TypeOf(SessionEvent::LoginAccepted);

int Code(std::optional<SessionEvent> event)
{
    return event ? TypeOf(*event) : kNoEvent;
}

// What RecvFrame makes of one login-phase receive.
struct FrameResult {
    std::string text;
    std::string reply;
    int outcome;
};

FrameResult HandleLoginFrame(const std::string& received)
{
    TelnetSplit split = SplitTelnetCommands(NormaliseLineEnds(received.data(), static_cast<int>(received.size())));
    return {split.text, split.reply, Code(ClassifyLoginText(split.text))};
}

}  // namespace

TEST(NormaliseLineEnds, KeepsCrLfTurnsCrIntoCrLfAndDropsLf)
{
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    } cases[] = {
        {"empty", "", ""},
        {"plain text", "show", "show"},
        {"CR LF stays", "a\r\nb", "a\r\nb"},
        {"lone CR gains LF", "a\rb", "a\r\nb"},
        {"lone LF dropped", "a\nb", "ab"},
        {"only LFs", "\n\n\n", ""},
        {"LF CR becomes CR LF", "\n\r", "\r\n"},
        {"two CRs", "\r\r", "\r\n\r\n"},
        {"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"byte 255 kept", Bytes({IAC, WILL, 1}), Bytes({IAC, WILL, 1})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hex(NormaliseLineEnds(c.in.data(), static_cast<int>(c.in.size()))), Hex(c.out)) << c.name;
}

TEST(NormaliseLineEnds, NonPositiveCountGivesEmptyText)
{
    EXPECT_EQ(NormaliseLineEnds("abc", 0), "");
    EXPECT_EQ(NormaliseLineEnds("abc", -1), "");
}

TEST(SplitTelnetCommands, AnswersOptionCommandsByTheTable)
{
    struct Case {
        int verb;
        int option;
        int answer;
    } cases[] = {
        {WILL, 1, DO},   {WILL, 3, DO},   {WILL, 24, DONT}, {WILL, 0, DONT},
        {WONT, 1, DONT}, {WONT, 3, DONT}, {WONT, 24, DONT},
        {DO, 1, WILL},   {DO, 3, WILL},   {DO, 24, WONT},   {DO, 255, WONT},
        {DONT, 1, WONT}, {DONT, 3, WONT}, {DONT, 24, WONT},
    };
    for (const Case& c : cases) {
        TelnetSplit s = SplitTelnetCommands(Bytes({IAC, c.verb, c.option}));
        EXPECT_EQ(Hex(s.reply), Hex(Bytes({IAC, c.answer, c.option})))
            << "verb " << c.verb << " option " << c.option;
        EXPECT_EQ(s.text, "") << "verb " << c.verb << " option " << c.option;
    }
}

TEST(SplitTelnetCommands, LoginFramesGiveTheirTextAnswerAndOutcome)
{
    struct Case {
        const char* name;
        std::string received;
        std::string text;
        std::string reply;
        int outcome;
    } cases[] = {
        {"negotiation then user name prompt", Bytes({IAC, WILL, 1, IAC, WILL, 3}) + "Username:", "Username:",
         Bytes({IAC, DO, 1, IAC, DO, 3}), kEvtUsernamePrompt},
        {"unknown option only", Bytes({IAC, DO, 24}), "", Bytes({IAC, WONT, 24}), kNoEvent},
        {"data before a command is lost", "xyz" + Bytes({IAC, DO, 1}) + "Password:", "Password:",
         Bytes({IAC, WILL, 1}), kEvtPasswordPrompt},
        {"frame ending with a command", "Username:" + Bytes({IAC, WILL, 1}), "", Bytes({IAC, DO, 1}),
         kNoEvent},
        {"no command at all", "Welcome!\r\n", "Welcome!\r\n", "", kEvtLoginAccepted},
        {"CR LF before the prompt", "\r\nUsername:", "\r\nUsername:", "", kNoEvent},
        {"only LFs", "\n\n", "", "", kNoEvent},
        {"empty frame", "", "", "", kNoEvent},
        {"WONT and DONT answered too", Bytes({IAC, WONT, 1, IAC, DONT, 3}), "", Bytes({IAC, DONT, 1, IAC, WONT, 3}),
         kNoEvent},
    };
    for (const Case& c : cases) {
        FrameResult r = HandleLoginFrame(c.received);
        EXPECT_EQ(Hex(r.text), Hex(c.text)) << c.name;
        EXPECT_EQ(Hex(r.reply), Hex(c.reply)) << c.name;
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
    }
}

TEST(SplitTelnetCommands, CommandsOutsideTheTableAreCutOutAndKeepTheData)
{
    struct Case {
        const char* name;
        std::string raw;
        std::string text;
        std::string reply;
    } cases[] = {
        {"doubled IAC is a data byte", "a" + Bytes({IAC, IAC}) + "b", "a" + Bytes({255}) + "b", ""},
        {"doubled IAC before an option command goes with the data", "a" + Bytes({IAC, IAC, IAC, DO, 3}) + "x",
         "x", Bytes({IAC, WILL, 3})},
        {"two-byte commands", "a" + Bytes({IAC, NOP}) + "b" + Bytes({IAC, GA}) + "c" + Bytes({IAC, 0}) + "d" +
                                  Bytes({IAC, SE}) + "e",
         "abcde", ""},
        {"subnegotiation removed", "ab" + Bytes({IAC, SB, 24, 0, 'x', IAC, SE}) + "cd", "abcd", ""},
        {"doubled IAC inside a subnegotiation does not end it",
         "a" + Bytes({IAC, SB, 24, IAC, IAC, SE, IAC, SE}) + "z", "az", ""},
        {"subnegotiation without its end drops the rest", "ab" + Bytes({IAC, SB, 1, '1'}) + "Username:", "ab", ""},
        {"echo asked for its value", Bytes({IAC, SB, 1, '1', IAC, SE}) + "x", "x",
         Bytes({IAC, SB, 1, '0', IAC, SE})},
        {"go-ahead asked for its value", Bytes({IAC, SB, 3, '1', IAC, SE}), "", Bytes({IAC, SB, 3, '0', IAC, SE})},
        {"other option asked for its value", Bytes({IAC, SB, 24, '1', IAC, SE}), "", ""},
        {"echo subnegotiation that is not a question", Bytes({IAC, SB, 1, '0', IAC, SE}), "", ""},
        {"echo subnegotiation without parameters", Bytes({IAC, SB, 1, IAC, SE}), "", ""},
        {"empty subnegotiation", Bytes({IAC, SB, IAC, SE}) + "q", "q", ""},
        {"IAC cut off at the end", "ab" + Bytes({IAC}), "ab", ""},
        {"IAC and verb cut off at the end", "ab" + Bytes({IAC, WILL}), "ab", ""},
        {"IAC and SB cut off at the end", "ab" + Bytes({IAC, SB}), "ab", ""},
        {"answers keep the order of arrival", Bytes({IAC, DO, 1, IAC, SB, 3, '1', IAC, SE, IAC, WILL, 24}),
         "", Bytes({IAC, WILL, 1, IAC, SB, 3, '0', IAC, SE, IAC, DONT, 24})},
    };
    for (const Case& c : cases) {
        TelnetSplit s = SplitTelnetCommands(c.raw);
        EXPECT_EQ(Hex(s.text), Hex(c.text)) << c.name;
        EXPECT_EQ(Hex(s.reply), Hex(c.reply)) << c.name;
    }
}

TEST(SplitTelnetCommands, PromptSurvivesCommandsOutsideTheTable)
{
    FrameResult r = HandleLoginFrame(Bytes({IAC, WILL, 1, IAC, NOP}) + "Username: " + Bytes({IAC, GA}));
    EXPECT_EQ(r.outcome, kEvtUsernamePrompt) << "text was [" << r.text << "]";
}

TEST(SplitTelnetCommands, ManyOptionCommandsTakeLinearTime)
{
    std::string raw;
    for (int i = 0; i < 10000; ++i)
        raw += Bytes({IAC, DO, i % 2 ? 1 : 24});
    raw += "Username:";
    TelnetSplit s = SplitTelnetCommands(raw);
    EXPECT_EQ(s.text, "Username:");
    ASSERT_EQ(s.reply.size(), 30000u);
    EXPECT_EQ(Hex(s.reply.substr(0, 6)), Hex(Bytes({IAC, WONT, 24, IAC, WILL, 1})));

    // A copy of the rest per command would allocate about 10^11 bytes here;
    // a linear split allocates a small multiple of the frame.
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big += Bytes({IAC, WILL, 3});
    g_allocated = 0;
    TelnetSplit b = SplitTelnetCommands(big);
    size_t allocated = g_allocated;
    EXPECT_EQ(b.reply.size(), 600000u);
    EXPECT_LT(allocated, 8 * big.size()) << "splitting 200000 option commands allocated " << allocated << " bytes";
}

TEST(SplitTelnetCommands, CommandCutByTheEndOfAReceiveIsAnsweredOnceWhole)
{
    struct Case {
        const char* name;
        std::string first, second;
        std::string firstText, secondText, reply;
    } cases[] = {
        {"IAC | WILL ECHO", "ab" + Bytes({IAC}), Bytes({WILL, 1}) + "cd", "ab", "cd", Bytes({IAC, DO, 1})},
        {"IAC WILL | ECHO", "ab" + Bytes({IAC, WILL}), Bytes({1}) + "cd", "ab", "cd", Bytes({IAC, DO, 1})},
        {"IAC | DO TTYPE", Bytes({IAC}), Bytes({DO, 24}), "", "", Bytes({IAC, WONT, 24})},
        {"IAC DO | TTYPE", Bytes({IAC, DO}), Bytes({24}) + "x", "", "x", Bytes({IAC, WONT, 24})},
        {"doubled IAC: IAC | IAC", "ab" + Bytes({IAC}), Bytes({IAC}) + "cd", "ab", Bytes({255}) + "cd", ""},
        {"IAC | NOP", "ab" + Bytes({IAC}), Bytes({NOP}) + "cd", "ab", "cd", ""},
    };
    for (const Case& c : cases) {
        std::string pending;
        TelnetSplit a = SplitTelnetCommands(c.first, pending);
        TelnetSplit b = SplitTelnetCommands(c.second, pending);
        EXPECT_EQ(Hex(a.text) + "| " + Hex(b.text), Hex(c.firstText) + "| " + Hex(c.secondText)) << c.name;
        EXPECT_EQ(Hex(a.reply + b.reply), Hex(c.reply)) << c.name;
        EXPECT_TRUE(pending.empty()) << c.name;
    }
}

TEST(TextLength, StopsAtTheFirstNul)
{
    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength("abc"), 3);
    EXPECT_EQ(TextLength(std::string("ab\0cd", 5)), 2);
    EXPECT_EQ(TextLength(std::string("\0x", 2)), 0);
}

TEST(ClassifyLoginText, RecognisesPromptsInOrderOfPrecedence)
{
    struct Case {
        std::string text;
        int outcome;
    } cases[] = {
        {"", kNoEvent},
        {std::string("\0Username:", 10), kNoEvent},
        {"Username:", kEvtUsernamePrompt},
        {"Username: ", kEvtUsernamePrompt},
        {" Username:", kNoEvent},
        {"\r\nUsername:", kNoEvent},
        {"Username", kNoEvent},
        {"Password:", kEvtPasswordPrompt},
        {"\r\nPassword: ", kEvtPasswordPrompt},
        {"Welcome!", kEvtLoginAccepted},
        {"\r\n\r\nWelcome!\r\n", kEvtLoginAccepted},
        {"Password: Welcome!", kEvtPasswordPrompt},
        {"Welcome! Password:", kEvtPasswordPrompt},
        {"Username: Password: Welcome!", kEvtUsernamePrompt},
        {std::string("ab\0Password:", 12), kNoEvent},
        {std::string("Welcome\0!", 9), kNoEvent},
        {"% Login invalid", kNoEvent},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Code(ClassifyLoginText(c.text)), c.outcome) << "text [" << Hex(c.text) << "]";
}

TEST(ClassifyLoginFrame, FindsPromptsThatTheNetworkCutAcrossReceives)
{
    const std::string doEcho("\xff\xfd\x01", 3);
    struct Case {
        const char* name;
        std::vector<std::string> frames;  // raw received bytes, one receive each
        std::vector<int> outcomes;
    } cases[] = {
        {"user name one byte at a time", {"U", "s", "e", "r", "n", "a", "m", "e", ":"},
         {0, 0, 0, 0, 0, 0, 0, 0, kEvtUsernamePrompt}},
        {"password cut in two", {"\r\nPass", "word: "}, {0, kEvtPasswordPrompt}},
        {"welcome cut after the prompt's text", {"Login ok\r\nWelc", "ome!\r\n"}, {0, kEvtLoginAccepted}},
        {"an empty frame between keeps the start", {"Pass", "\n", "word:"}, {0, kNoEvent, kEvtPasswordPrompt}},
        {"an option command drops what came before it", {"Pass", doEcho + "word:"}, {0, 0}},
        {"a user name cut late in a text is not the user name prompt", {"x User", "name:"}, {0, 0}},
        {"a prompt empties the carry", {"Password:", "word:"}, {kEvtPasswordPrompt, 0}},
        {"the user name prompt still begins its own frame", {"Pass", "Username:"}, {0, kEvtUsernamePrompt}},
    };
    for (const Case& c : cases) {
        PromptCarry carry;
        std::vector<int> outcomes;
        for (const std::string& frame : c.frames) {
            TelnetSplit split = SplitTelnetCommands(NormaliseLineEnds(frame.data(), static_cast<int>(frame.size())));
            outcomes.push_back(Code(ClassifyLoginFrame(carry, split.text, split.optionSeen)));
        }
        EXPECT_EQ(outcomes, c.outcomes) << c.name;
    }
}

TEST(SplitTelnetCommands, NothingAfterANulIsAnsweredOrSearched)
{
    const std::string iacDo24("\xff\xfd\x18", 3);
    FrameResult r = HandleLoginFrame(std::string("ab\0", 3) + iacDo24 + "Username:");
    EXPECT_EQ(r.reply, "") << "a command after a NUL must not be answered";
    EXPECT_EQ(TextLength(r.text), 2);
    EXPECT_EQ(r.outcome, kNoEvent) << "a prompt after a NUL must not be recognised";

    r = HandleLoginFrame(iacDo24 + std::string("x\0", 2) + iacDo24);
    EXPECT_EQ(Hex(r.reply), "ff fc 18 ") << "only the command before the NUL is answered";
    EXPECT_EQ(TextLength(r.text), 1);
}

TEST(CaptureRoom, AFrameFillsTheCaptureUpToItsLimitAndNoFurther)
{
    struct Case {
        uint64_t size, incoming, room;
    } cases[] = {
        {0, 1024, 1024},
        {kCaptureLimitBytes - 1024, 1024, 1024},
        {kCaptureLimitBytes - 100, 1024, 100},
        {kCaptureLimitBytes, 1024, 0},
        {kCaptureLimitBytes + 5, 1024, 0},
        {0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CaptureRoom(c.size, c.incoming), c.room) << "file of " << c.size << ", frame of " << c.incoming;
}

namespace {
std::string ReadAll(const std::wstring& path)
{
    AutoCloseHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[64] = {};
    DWORD got = 0;
    ReadFile(file.Get(), buffer, sizeof buffer - 1, &got, nullptr);
    return std::string(buffer, got);
}
}  // namespace

TEST(ResultCapture, AppendsThroughOneHandleWhileOthersReadAndIsEmptiedWhateverAScannerDoes)
{
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    // A name CP949 lacks, as a user's home folder may have.
    const std::wstring path = std::wstring(dir) + L"lumaro_capture_\u0402\U0001F600";
    DeleteFileW(path.c_str());
    ResultCapture capture(6);
    EXPECT_EQ(capture.Append(path, "abc", 3).rc, 0);
    // Another program reads the answer while it is written, as the window does.
    AutoCloseHandle reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.Valid()) << "the capture must let others read it: " << GetLastError();
    CaptureAppend second = capture.Append(path, "defgh", 5);
    EXPECT_EQ(second.rc, 0);
    EXPECT_TRUE(second.cut && capture.Full()) << "the limit of 6 bytes leaves out 2";
    char back[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(reader.Get(), back, sizeof back, &got, nullptr));
    EXPECT_STREQ(back, "abcdef") << "seen through the other handle without a flush";
    reader.Reset();

    capture.Close();
    // A scanner holds the file without delete sharing: the delete waits it
    // out; one that holds on has the file emptied in place, through a handle
    // the next answer is written with; one that shares no writing either
    // keeps the old answer.
    struct Row {
        DWORD share;
        bool releases;
        CaptureReplace how;
    } rows[] = {{FILE_SHARE_READ | FILE_SHARE_WRITE, true, CaptureReplace::Deleted},
                {FILE_SHARE_READ | FILE_SHARE_WRITE, false, CaptureReplace::EmptiedInPlace},
                {FILE_SHARE_READ, false, CaptureReplace::Kept}};
    for (const Row& row : rows) {
        ResultCapture held(kCaptureLimitBytes, row.releases ? 10000 : 100);
        DeleteFileW(path.c_str());
        ASSERT_EQ(held.Append(path, "old", 3).rc, 0);
        held.Close();  // the scanner comes in after a change
        HANDLE scanner = CreateFileW(path.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(scanner, INVALID_HANDLE_VALUE) << "share " << row.share << ": " << GetLastError();
        std::thread release([&] {
            if (row.releases) {
                Sleep(100);
                CloseHandle(scanner);
            }
        });
        CaptureReplaced replaced = held.Replace(path);
        release.join();
        if (!row.releases)
            CloseHandle(scanner);
        EXPECT_EQ(replaced.how, row.how) << "share " << row.share;
        EXPECT_EQ(replaced.heldError, DWORD(ERROR_SHARING_VIOLATION)) << "share " << row.share;
        ASSERT_EQ(held.Append(path, "new", 3).rc, 0);
        held.Close();
        EXPECT_EQ(ReadAll(path), row.how == CaptureReplace::Kept ? "oldnew" : "new") << "share " << row.share;
    }
    capture.Close();
    // A name planted as a second link of another file is no capture.
    const std::wstring victim = path + L".victim";
    DeleteFileW(path.c_str());
    CloseHandle(CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(CreateHardLinkW(path.c_str(), victim.c_str(), nullptr));
    CaptureAppend refused = capture.Append(path, "x", 1);
    EXPECT_EQ(refused.rc, kCaptureOpenFailed);
    EXPECT_EQ(refused.refusal, "2 links");
    DeleteFileW(path.c_str());
    DeleteFileW(victim.c_str());

    // A device is no capture either, not even one that takes the open.
    EXPECT_EQ(ResultCapture().Append(L"Z:\\dev\\full", "abc", 3).rc, kCaptureOpenFailed);
    EXPECT_EQ(ResultCapture().Append(std::wstring(dir) + L"no such folder\\result", "abc", 3).rc, kCaptureOpenFailed);
}
