#include "installer/ConnectTask.h"

#include <functional>

namespace {

std::wstring EscapeText(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

// Replaces the text between `open` and `close`, which must occur once, by
// what `make` makes of it.
bool ReplaceBetween(std::wstring& xml, const std::wstring& open, const std::wstring& close,
                    const std::function<std::wstring(const std::wstring&)>& make)
{
    size_t start = xml.find(open);
    if (start == std::wstring::npos || xml.find(open, start + 1) != std::wstring::npos)
        return false;
    start += open.size();
    size_t end = xml.find(close, start);
    if (end == std::wstring::npos)
        return false;
    std::wstring inner = xml.substr(start, end - start);
    xml.replace(start, end - start, make(inner));
    return true;
}

}  // namespace

std::wstring ConnectTaskXml(const std::wstring& templateXml, const std::wstring& program,
                            const std::wstring& connection, std::string& error)
{
    for (wchar_t c : connection) {
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
            error = "the connection's name holds a control character";
            return {};
        }
    }
    // XPath 1.0 has no escape inside a literal: the name is quoted with the
    // quote it does not hold.
    bool apostrophe = connection.find(L'\'') != std::wstring::npos;
    if (apostrophe && connection.find(L'"') != std::wstring::npos) {
        error = "the connection's name holds both ' and \"";
        return {};
    }
    std::wstring quote = apostrophe ? L"\"" : L"'";

    std::wstring xml = templateXml;
    // The event query is itself XML, kept as escaped text of the task's XML:
    // the name is escaped once for the query and once for the task.
    const std::wstring example = L"Data='VPN'";
    size_t data = xml.find(example);
    if (data == std::wstring::npos || xml.find(example, data + 1) != std::wstring::npos) {
        error = "the task template has no single event query for the connection VPN";
        return {};
    }
    xml.replace(data, example.size(), L"Data=" + quote + EscapeText(EscapeText(connection)) + quote);

    auto command = [&](const std::wstring&) { return L"\"" + EscapeText(program) + L"\""; };
    // The user's name stays as the template has it; the connection is the last word.
    auto arguments = [&](const std::wstring& inner) {
        return inner.substr(0, inner.rfind(L' ') + 1) + EscapeText(connection);
    };
    if (!ReplaceBetween(xml, L"<Command>", L"</Command>", command)) {
        error = "the task template has no single Command";
        return {};
    }
    if (!ReplaceBetween(xml, L"<Arguments>", L"</Arguments>", arguments)) {
        error = "the task template has no single Arguments";
        return {};
    }
    return xml;
}
