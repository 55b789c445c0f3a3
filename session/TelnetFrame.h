#pragma once
// The telnet side of a received frame as plain functions of its bytes: line-end
// normalisation, the split into data and telnet commands with the answers they
// call for, and the recognition of the login prompts. The socket loop of
// CSockTelnet only feeds these and acts on what they return.
#include <optional>
#include <string>

#include "session/SessionEvents.h"

constexpr unsigned char kTelnetSE = 240;
constexpr unsigned char kTelnetSB = 250;
constexpr unsigned char kTelnetWILL = 251;
constexpr unsigned char kTelnetWONT = 252;
constexpr unsigned char kTelnetDO = 253;
constexpr unsigned char kTelnetDONT = 254;
constexpr unsigned char kTelnetIAC = 255;
constexpr unsigned char kTelnetOptEcho = 1;
constexpr unsigned char kTelnetOptSuppressGoAhead = 3;

// LF dropped, CR turned into CR LF, every other byte (NUL too) kept.
std::string NormaliseLineEnds(const char* data, int n);

struct TelnetSplit {
    std::string text;         // the frame's data once the commands are out
    std::string reply;        // the answers, to be sent in one piece (empty: send nothing)
    bool optionSeen = false;  // a WILL/WONT/DO/DONT dropped the data before it
};

// Splits one normalised frame. The text is what follows the frame's last
// WILL/WONT/DO/DONT; every such command is answered, each time it arrives.
// A command that the end of the frame cuts off (an IAC, or IAC and verb)
// waits in `pending` for the next frame, which it begins: TCP keeps no
// message boundaries, and the command is answered once, whole.
TelnetSplit SplitTelnetCommands(const std::string& raw, std::string& pending);
// The same for a frame on its own: a command cut off at its end is dropped.
TelnetSplit SplitTelnetCommands(const std::string& raw);

// Length of the text up to its first NUL: nothing after a NUL is searched,
// logged or captured.
int TextLength(const std::string& text);

// The event a login-phase frame text reports: UsernamePrompt (only at the
// very start), PasswordPrompt, LoginAccepted ("Welcome!"), in that order of
// precedence, or none.
std::optional<SessionEvent> ClassifyLoginText(const std::string& text);

// The end of a login frame's text that may be the beginning of a prompt the
// network cut in two: TCP keeps no message boundaries, so "Pass" and "word:"
// can arrive in two receives.
struct PromptCarry {
    std::string tail;
    bool textStart = false;  // the tail began a frame's text, as "Username:" must
};

// ClassifyLoginText over the carried tail and this frame's text. A prompt
// empties the carry; a frame without one leaves in it what may begin a
// prompt. An option command drops the carry with the rest of the data before
// it; an empty text keeps it.
std::optional<SessionEvent> ClassifyLoginFrame(PromptCarry& carry, const std::string& text, bool optionSeen);
