#include "session/TelnetFrame.h"

#include <algorithm>
#include <cstring>

namespace {

const char kUsernamePrompt[] = "Username:";
const char kPasswordPrompt[] = "Password:";
const char kWelcome[] = "Welcome!";

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool IsProperPrefixOf(const std::string& text, const char* prompt)
{
    return text.size() < std::strlen(prompt) && std::strncmp(text.c_str(), prompt, text.size()) == 0;
}

// The longest end of `text` that a later frame could complete into a prompt
// found anywhere in a text.
std::string OpenPromptTail(const std::string& text)
{
    size_t longest = std::strlen(kPasswordPrompt) - 1;
    for (size_t n = std::min(longest, text.size()); n > 0; --n) {
        std::string tail = text.substr(text.size() - n);
        if (IsProperPrefixOf(tail, kPasswordPrompt) || IsProperPrefixOf(tail, kWelcome))
            return tail;
    }
    return std::string();
}

bool IsOptionVerb(unsigned char b)
{
    return b >= kTelnetWILL && b <= kTelnetDONT;
}

// We agree to echo and to suppressing go-ahead, in either direction, and to
// nothing else.
unsigned char AnswerVerb(unsigned char verb, unsigned char option)
{
    bool wanted = option == kTelnetOptEcho || option == kTelnetOptSuppressGoAhead;
    switch (verb) {
    case kTelnetWILL:
        return wanted ? kTelnetDO : kTelnetDONT;
    case kTelnetWONT:
        return kTelnetDONT;
    case kTelnetDO:
        return wanted ? kTelnetWILL : kTelnetWONT;
    default:
        return kTelnetWONT;
    }
}

void AppendCommand(std::string& out, unsigned char verb, unsigned char option)
{
    out += static_cast<char>(kTelnetIAC);
    out += static_cast<char>(verb);
    out += static_cast<char>(option);
}

// Finds the IAC SE that ends a subnegotiation whose parameters start at from;
// a doubled IAC inside it is a parameter byte, not the end.
size_t FindSubnegotiationEnd(const std::string& raw, size_t from)
{
    for (size_t i = from; i + 1 < raw.size(); ++i) {
        if (static_cast<unsigned char>(raw[i]) != kTelnetIAC)
            continue;
        unsigned char next = static_cast<unsigned char>(raw[i + 1]);
        if (next == kTelnetSE)
            return i;
        if (next == kTelnetIAC)
            ++i;
    }
    return std::string::npos;
}

}  // namespace

std::string NormaliseLineEnds(const char* data, int n)
{
    std::string out;
    if (n <= 0)
        return out;
    out.reserve(static_cast<size_t>(n) + static_cast<size_t>(n) / 8);
    for (int i = 0; i < n; ++i) {
        char c = data[i];
        if (c == '\n')
            continue;
        out += c;
        if (c == '\r')
            out += '\n';
    }
    return out;
}

// One pass over the frame. An option command (WILL/WONT/DO/DONT and its option
// byte) throws away the data gathered before it, so the text is what follows
// the last one. The other commands the server is not expected to send are only
// cut out, leaving the data around them where it was: a doubled IAC stands for
// the data byte 255, a subnegotiation goes up to its IAC SE (or to the end of
// the frame when it has none), any other IAC takes the byte after it, and an
// IAC or IAC plus verb cut off by the end of the frame waits for the next.
TelnetSplit SplitTelnetCommands(const std::string& frame, std::string& pending)
{
    TelnetSplit out;
    const std::string raw = pending + frame;
    pending.clear();
    const size_t n = raw.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(raw[i]);
        // Nothing after a NUL is searched or answered: the rest of the frame
        // stays in the text, where the NUL ends it.
        if (b == 0) {
            out.text.append(raw, i, std::string::npos);
            break;
        }
        if (b != kTelnetIAC) {
            out.text += raw[i];
            ++i;
            continue;
        }
        if (i + 1 >= n) {
            pending = raw.substr(i);
            break;
        }
        unsigned char verb = static_cast<unsigned char>(raw[i + 1]);
        if (IsOptionVerb(verb)) {
            if (i + 2 >= n) {
                pending = raw.substr(i);
                break;
            }
            unsigned char option = static_cast<unsigned char>(raw[i + 2]);
            AppendCommand(out.reply, AnswerVerb(verb, option), option);
            out.text.clear();
            out.optionSeen = true;
            i += 3;
        } else if (verb == kTelnetIAC) {
            out.text += raw[i];
            i += 2;
        } else if (verb == kTelnetSB) {
            size_t end = FindSubnegotiationEnd(raw, i + 2);
            if (end == std::string::npos)
                break;
            // "1" asks for the option's current value (SEND); ours is "0" (IS).
            if (end >= i + 4) {
                unsigned char option = static_cast<unsigned char>(raw[i + 2]);
                if ((option == kTelnetOptEcho || option == kTelnetOptSuppressGoAhead) && raw[i + 3] == '1') {
                    out.reply += static_cast<char>(kTelnetIAC);
                    out.reply += static_cast<char>(kTelnetSB);
                    out.reply += static_cast<char>(option);
                    out.reply += '0';
                    out.reply += static_cast<char>(kTelnetIAC);
                    out.reply += static_cast<char>(kTelnetSE);
                }
            }
            i = end + 2;
        } else {
            i += 2;
        }
    }
    return out;
}

TelnetSplit SplitTelnetCommands(const std::string& raw)
{
    std::string dropped;
    return SplitTelnetCommands(raw, dropped);
}

int TextLength(const std::string& text)
{
    return static_cast<int>(std::strlen(text.c_str()));
}

std::optional<SessionEvent> ClassifyLoginText(const std::string& text)
{
    PromptCarry none;
    return ClassifyLoginFrame(none, text, false);
}

std::optional<SessionEvent> ClassifyLoginFrame(PromptCarry& carry, const std::string& text, bool optionSeen)
{
    if (optionSeen)
        carry = PromptCarry();
    const std::string own(text.c_str());  // nothing after a NUL counts
    if (own.empty())
        return std::nullopt;

    const std::string joined = carry.tail + own;
    const bool joinedAtStart = carry.tail.empty() || carry.textStart;
    std::optional<SessionEvent> event;
    if (StartsWith(joinedAtStart ? joined : own, kUsernamePrompt))
        event = SessionEvent::UsernamePrompt;
    else if (joined.find(kPasswordPrompt) != std::string::npos)
        event = SessionEvent::PasswordPrompt;
    else if (joined.find(kWelcome) != std::string::npos)
        event = SessionEvent::LoginAccepted;

    if (event)
        carry = PromptCarry();
    else if (joinedAtStart && IsProperPrefixOf(joined, kUsernamePrompt))
        carry = PromptCarry{joined, true};
    else
        carry = PromptCarry{OpenPromptTail(joined), false};
    return event;
}
