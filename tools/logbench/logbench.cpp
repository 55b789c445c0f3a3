// Measures the log's throughput: lines per second with one writer and with
// two writers sharing one LogFile, as the main thread and the session worker do.
#include "log/LogFile.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {
double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER freq)
{
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(freq.QuadPart);
}

double LinesPerSecond(const std::wstring& path, int writers, int linesEach)
{
    LogFile log;
    log.Open(path.c_str(), FALSE, kLogFlow);
    LARGE_INTEGER freq, start, end;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&start);
    auto work = [&log, linesEach](int id) {
        for (int i = 0; i < linesEach; ++i)
            log.Write(kLogFlow, id ? "CSockTelnet::RecvFrame(), recv_len=211, length=211" : "summary정보 수신 중 ...");
    };
    if (writers == 1) {
        work(0);
    } else {
        std::thread other(work, 1);
        work(0);
        other.join();
    }
    ::QueryPerformanceCounter(&end);
    return writers * linesEach / Seconds(start, end, freq);
}
}

int main(int argc, char** argv)
{
    int lines = argc > 1 ? std::atoi(argv[1]) : 20000;
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"lumaro_logbench.log";
    std::printf("one_writer_lines_per_s %.0f\n", LinesPerSecond(path, 1, lines));
    std::printf("two_writers_lines_per_s %.0f\n", LinesPerSecond(path, 2, lines / 2));
    ::DeleteFileW(path.c_str());
    return 0;
}
