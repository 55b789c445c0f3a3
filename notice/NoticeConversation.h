#pragma once
// The notice fetch as a conversation: the worker's events in, the request
// out through the transport, and the notice, a box or the quiet end of the
// process out through the notice window. Every way the fetch can end
// without a notice ends the process.
#include "session/SessionEffects.h"

#include <cstdint>
#include <string>
#include <string_view>

class NoticeScreen {
public:
    virtual void ShowNotice(const std::string& text) = 0;
    virtual void ShowBox(const std::string& text) = 0;
    // Ends the hidden process, showing nothing.
    virtual void EndQuietly() = 0;

protected:
    ~NoticeScreen() = default;
};

class NoticeConversation {
public:
    NoticeConversation(NoticeScreen& screen, TransportEffects& transport) : m_screen(screen), m_transport(transport) {}

    void Configure(const std::string& host) { m_host = host; }
    // A record of the fetch's worker, by its type code, with its payload.
    void OnRecord(uint32_t type, std::string_view payload);

private:
    NoticeScreen& m_screen;
    TransportEffects& m_transport;
    std::string m_host;
};
