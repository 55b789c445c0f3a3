#include "notice/NoticeRequest.h"

#include "framework/Format.h"

std::string BuildNoticeRequest(const std::string& host)
{
    std::string request;
    request += "GET /notice HTTP/1.1\r\n";
    request += "Accept: image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, "
               "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
    request += "Accept-Language: ko\r\n";
    request += "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; Mozilla/4.0 "
               "(compatible; MSIE 6.0; Windows NT 5.1; SV1) ; .NET CLR 2.0.50727; .NET CLR 1.1.4322; "
               "InfoPath.2)\r\n";
    request += "Accept-Encoding: gzip, deflate\r\n";
    request += StrFormat("Host: %s\r\n", host.c_str());
    request += "Connection: Keep-Alive\r\n\r\n";
    return request;
}

std::string NoticeDateText(const SYSTEMTIME& t)
{
    return StrFormat("%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
}

std::string NoticeHostFromCommand(const std::string& command)
{
    size_t pos = 0;
    std::string tokens[2];
    for (int i = 0; i < 2; ++i) {
        pos = command.find_first_not_of(' ', pos);
        if (pos == std::string::npos)
            break;
        size_t end = command.find(' ', pos);
        tokens[i] = command.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end;
    }
    return tokens[1];
}
