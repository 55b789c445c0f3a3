#include "session/SessionTransport.h"

#include "log/LogFile.h"

bool SessionTransport::Connect()
{
    if (m_closed)
        return false;
    m_worker.reset();  // one that has ended but is not yet freed
    m_worker = StartSessionThread(m_settings);
    return m_worker != nullptr;
}

int SessionTransport::Send(const std::string& command)
{
    return m_worker ? m_worker->Client().SendAll(command.data(), static_cast<int>(command.size())) : 0;
}

CaptureReplaced SessionTransport::ReplaceCapture()
{
    // The worker writes an answer through one handle, which must be gone
    // before the name can be used again; without a worker there is none.
    return m_worker ? m_worker->Client().ReplaceCapture() : ResultCapture().Replace(m_settings.resultPath);
}

void SessionTransport::LogTraffic(int level, const std::string& text)
{
    if (m_worker)
        m_worker->Client().Traffic().Write(level, text);
    else if (m_settings.log)
        m_settings.log->Write(level, text.c_str());
}

void SessionTransport::Hangup()
{
    if (m_worker)
        m_worker->Client().Stop();
}

SessionTransport::Source SessionTransport::Take(const COPYDATASTRUCT* record, std::string_view& captured)
{
    if (!record)
        return Source::Foreign;
    if (m_worker && m_worker->Client().TakeRecord(*record, captured))
        return Source::Running;
    std::string_view ignored;
    if (m_stopping && m_stopping->Client().TakeRecord(*record, ignored))
        return Source::Stopping;
    return Source::Foreign;
}

void SessionTransport::OnWorkerEnded()
{
    if (m_worker && m_worker->Finished())
        m_worker.reset();
}

void SessionTransport::Close(bool insideItsEvent)
{
    m_closed = true;
    if (insideItsEvent) {
        Hangup();
        return;
    }
    // Moved out first: while it is waited for, its last records find no
    // running worker here and are dropped.
    SessionWorker worker = std::move(m_worker);
    m_stopping = worker.get();
    worker.reset();
    m_stopping = nullptr;
}
