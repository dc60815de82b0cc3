#include "RawHttpConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawHttpConnection::RawHttpConnection (int port, int receiveBufferBytes)
    : descriptor (::socket (AF_INET, SOCK_STREAM, 0))
{
    // Set before connecting, so the window the server is offered is small from the start.
    if (descriptor >= 0 && receiveBufferBytes > 0)
        ::setsockopt (descriptor, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof (receiveBufferBytes));

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons ((uint16_t) port);
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);

    if (descriptor >= 0 && ::connect (descriptor, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0)
    {
        ::close (descriptor);
        descriptor = -1;
    }
}

RawHttpConnection::~RawHttpConnection()
{
    if (descriptor >= 0)
        ::close (descriptor);
}

bool RawHttpConnection::send (const std::string& text)
{
    for (size_t sent = 0; sent < text.size();)
    {
        const auto count = ::send (descriptor, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);

        if (count <= 0)
            return false;

        sent += (size_t) count;
    }

    return true;
}

bool RawHttpConnection::receiveSome (int timeoutMs, size_t maxBytes)
{
    pollfd request { descriptor, POLLIN, 0 };

    if (::poll (&request, 1, timeoutMs) <= 0)
        return true;

    char buffer[16384];
    const auto count = ::recv (descriptor, buffer, std::min (sizeof (buffer), maxBytes), 0);

    if (count <= 0)
        return false;

    received.append (buffer, (size_t) count);
    return true;
}

int RawHttpConnection::receiveStatus (int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (received.find ("\r\n\r\n") == std::string::npos && juce::Time::getMillisecondCounter() < end)
        if (! receiveSome (20))
            break;

    if (received.compare (0, 5, "HTTP/") != 0 || received.find (' ') == std::string::npos)
        return -1;

    return std::atoi (received.c_str() + received.find (' ') + 1);
}

bool RawHttpConnection::waitForClose (int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (juce::Time::getMillisecondCounter() < end)
        if (! receiveSome (20))
            return true;

    return false;
}

bool RawHttpConnection::isEstablished() const
{
    tcp_info info {};
    socklen_t length = sizeof (info);
    return ::getsockopt (descriptor, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 && info.tcpi_state == TCP_ESTABLISHED;
}

juce::String RawHttpConnection::getAnswerHeader (const juce::String& name) const
{
    juce::StringArray lines;
    lines.addLines (juce::String (received.substr (0, received.find ("\r\n\r\n"))));

    for (auto& line : lines)
        if (line.upToFirstOccurrenceOf (":", false, false).trim().equalsIgnoreCase (name))
            return line.fromFirstOccurrenceOf (":", false, false).trim();

    return {};
}

std::string RawHttpConnection::makeHead (const juce::String& requestLine, const juce::StringArray& fields)
{
    std::string head = requestLine.toStdString() + "\r\nHost: 127.0.0.1\r\n";

    for (auto& field : fields)
        head += field.toStdString() + "\r\n";

    return head + "\r\n";
}
