#pragma once
// The conversation's transport, owned by the window that holds the
// conversation: the worker thread, its socket and the capture file. The
// window hands it the records it receives and calls it for the transport's
// effects; it never reaches into the worker, its socket or the file itself.
// Every call here returns within a bounded time: a send waits at most
// kSendWaitMs for a console that has stopped reading, the emptying of the
// capture at most kReplaceWaitMs for a program that holds the file.
#include "session/CThreadSockTelnet.h"
#include "session/SessionEffects.h"

#include <string_view>

class SessionTransport : public TransportEffects {
public:
    SessionTransport() = default;
    ~SessionTransport() { Close(); }
    SessionTransport(const SessionTransport&) = delete;
    SessionTransport& operator=(const SessionTransport&) = delete;

    // The settings of every connection to come.
    void Configure(const WorkerSettings& settings) { m_settings = settings; }

    bool Connect() override;
    int Send(const std::string& command) override;
    CaptureReplaced ReplaceCapture() override;
    void LogTraffic(int level, const std::string& text) override;
    void Hangup() override;

    enum class Source {
        Running,   // the record the running worker is delivering right now
        Stopping,  // one of a worker being stopped: its window is ending
        Foreign,   // anything else, from whatever thread or process
    };
    // Where a WM_COPYDATA record comes from; for the running worker's, the
    // bytes its event's frame added to the capture.
    Source Take(const COPYDATASTRUCT* record, std::string_view& captured);
    // WM_SESSION_WORKER_ENDED: frees the worker once it says so itself
    // (anyone can post the message).
    void OnWorkerEnded();
    // The window is ending: no connection starts from here on, and the
    // running worker is stopped and waited for. Inside the handling of one
    // of its events it waits for that very handler and cannot be waited
    // for: it is only asked to stop, and the end of the process takes it.
    void Close(bool insideItsEvent = false);

private:
    WorkerSettings m_settings;
    SessionWorker m_worker;
    CThreadSockTelnet* m_stopping = nullptr;  // being waited for
    bool m_closed = false;
};
