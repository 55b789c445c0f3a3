// One received frame, as CSockTelnet::RecvFrame handles it in the login phase:
// line ends normalised, telnet commands split off and answered, the text
// measured and searched for the prompts.
#include "session/TelnetFrame.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool IsOptionVerb(unsigned char b)
{
    return b >= kTelnetWILL && b <= kTelnetDONT;
}

size_t Count(const std::string& s, unsigned char b)
{
    size_t n = 0;
    for (char c : s)
        n += static_cast<unsigned char>(c) == b;
    return n;
}

void CheckNormalised(const char* data, int n, const std::string& raw)
{
    size_t crs = 0, lfs = 0;
    for (int i = 0; i < n; ++i) {
        crs += data[i] == '\r';
        lfs += data[i] == '\n';
    }
    FUZZ_CHECK(raw.size() == static_cast<size_t>(n) - lfs + crs, "normalised %zu bytes from %d (%zu CR, %zu LF)",
               raw.size(), n, crs, lfs);
    // Every CR carries its LF, and no LF stands without its CR.
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r')
            FUZZ_CHECK(i + 1 < raw.size() && raw[i + 1] == '\n', "CR at %zu without LF", i);
        if (raw[i] == '\n')
            FUZZ_CHECK(i > 0 && raw[i - 1] == '\r', "LF at %zu without CR", i);
    }
}

// The reply holds whole answers only: IAC verb option, the verb agreeing to
// echo and suppress-go-ahead at most, or the six bytes of a subnegotiation answer.
void CheckReply(const std::string& raw, const std::string& reply)
{
    FUZZ_CHECK(reply.size() <= raw.size(), "reply of %zu bytes to a frame of %zu", reply.size(), raw.size());
    size_t answers = 0;
    for (size_t i = 0; i < reply.size(); ++answers) {
        const unsigned char* r = reinterpret_cast<const unsigned char*>(reply.data()) + i;
        size_t left = reply.size() - i;
        FUZZ_CHECK(left >= 3 && r[0] == kTelnetIAC, "reply byte %zu does not start an answer", i);
        if (IsOptionVerb(r[1])) {
            bool wanted = r[2] == kTelnetOptEcho || r[2] == kTelnetOptSuppressGoAhead;
            FUZZ_CHECK(wanted || r[1] == kTelnetWONT || r[1] == kTelnetDONT, "agreed to option %d with verb %d",
                       r[2], r[1]);
            i += 3;
        } else {
            FUZZ_CHECK(left >= 6 && r[1] == kTelnetSB &&
                           (r[2] == kTelnetOptEcho || r[2] == kTelnetOptSuppressGoAhead) && r[3] == '0' &&
                           r[4] == kTelnetIAC && r[5] == kTelnetSE,
                       "malformed answer at reply byte %zu", i);
            i += 6;
        }
    }
    FUZZ_CHECK(answers <= Count(raw, kTelnetIAC), "%zu answers to %zu IAC bytes", answers, Count(raw, kTelnetIAC));
}

void CheckText(const std::string& raw, const TelnetSplit& split)
{
    const std::string& text = split.text;
    FUZZ_CHECK(text.size() <= raw.size(), "text of %zu bytes from a frame of %zu", text.size(), raw.size());
    if (raw.find(static_cast<char>(kTelnetIAC)) == std::string::npos) {
        FUZZ_CHECK(text == raw && split.reply.empty(), "a frame without IAC changed");
        return;
    }
    // The text is made of the frame's bytes, in their order.
    size_t j = 0;
    for (size_t i = 0; i < raw.size() && j < text.size(); ++i)
        j += raw[i] == text[j];
    FUZZ_CHECK(j == text.size(), "text is not a subsequence of the frame (matched %zu of %zu)", j, text.size());
    // Before its NUL the text holds a 255 only for a doubled IAC of the frame.
    const std::string searched = text.substr(0, std::strlen(text.c_str()));
    FUZZ_CHECK(2 * Count(searched, kTelnetIAC) <= Count(raw, kTelnetIAC), "%zu data bytes 255 from %zu IAC bytes",
               Count(searched, kTelnetIAC), Count(raw, kTelnetIAC));
}

// The plain rule for frames whose every IAC starts a whole WILL/WONT/DO/DONT:
// the text is what follows the last command, each command is answered in turn.
// Returns false for any other frame.
bool SplitOptionsOnly(const std::string& raw, TelnetSplit& out)
{
    if (raw.find('\0') != std::string::npos)
        return false;
    size_t pos = 0;
    out = TelnetSplit();
    out.text = raw;
    for (;;) {
        size_t at = raw.find(static_cast<char>(kTelnetIAC), pos);
        if (at == std::string::npos)
            return true;
        if (at + 2 >= raw.size() || !IsOptionVerb(static_cast<unsigned char>(raw[at + 1])))
            return false;
        unsigned char verb = static_cast<unsigned char>(raw[at + 1]);
        unsigned char option = static_cast<unsigned char>(raw[at + 2]);
        bool wanted = option == kTelnetOptEcho || option == kTelnetOptSuppressGoAhead;
        unsigned char answer = verb == kTelnetWILL ? (wanted ? kTelnetDO : kTelnetDONT)
                             : verb == kTelnetWONT ? kTelnetDONT
                             : verb == kTelnetDO   ? (wanted ? kTelnetWILL : kTelnetWONT)
                                                   : kTelnetWONT;
        out.reply += static_cast<char>(kTelnetIAC);
        out.reply += static_cast<char>(answer);
        out.reply += static_cast<char>(option);
        pos = at + 3;
        out.text = raw.substr(pos);
    }
}

std::optional<SessionEvent> PromptOf(const char* t)
{
    if (!*t)
        return std::nullopt;
    if (std::strncmp(t, "Username:", 9) == 0)
        return SessionEvent::UsernamePrompt;
    if (std::strstr(t, "Password:"))
        return SessionEvent::PasswordPrompt;
    if (std::strstr(t, "Welcome!"))
        return SessionEvent::LoginAccepted;
    return std::nullopt;
}

int Code(std::optional<SessionEvent> event)
{
    return event ? TypeOf(*event) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const int n = static_cast<int>(size);

    const std::string raw = NormaliseLineEnds(bytes, n);
    CheckNormalised(bytes, n, raw);

    const TelnetSplit split = SplitTelnetCommands(raw);
    CheckReply(raw, split.reply);
    CheckText(raw, split);

    TelnetSplit plain;
    if (SplitOptionsOnly(raw, plain)) {
        FUZZ_CHECK(split.text == plain.text, "text differs from the plain rule (%zu vs %zu bytes)", split.text.size(),
                   plain.text.size());
        FUZZ_CHECK(split.reply == plain.reply, "reply differs from the plain rule (%zu vs %zu bytes)",
                   split.reply.size(), plain.reply.size());
    }

    const int length = TextLength(split.text);
    FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) == std::strlen(split.text.c_str()),
               "TextLength %d", length);
    FUZZ_CHECK(length <= static_cast<int>(raw.size()), "text length %d beyond the normalised %zu", length,
               raw.size());

    const int outcome = Code(ClassifyLoginText(split.text));
    FUZZ_CHECK(outcome == Code(PromptOf(split.text.c_str())), "outcome %d, expected %d", outcome,
               Code(PromptOf(split.text.c_str())));
    return 0;
}
