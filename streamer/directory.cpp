#include "streamer/directory.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/result_codes.h"
#include "platform/settings.h"
#include "platform/text_copy.h"

#ifndef VELMORA_DIRECTORY_HOST
#define VELMORA_DIRECTORY_HOST "directory.velmora.invalid"
#endif
#ifndef VELMORA_DIRECTORY_ADDRESS
#define VELMORA_DIRECTORY_ADDRESS "192.0.2.1"
#endif
#ifndef VELMORA_DIRECTORY_PORT
#define VELMORA_DIRECTORY_PORT 80
#endif

namespace {

constexpr const char* DIRECTORY_REQUEST =
    "GET /site/demos/VLMediaStreamer/brokers.xml HTTP/1.1\nHost:%s\r\n\r\n";
constexpr const char* BROKER_REQUEST =
    "GET /cgi-bin/VLMSbroker.cgi?cmd=ci&un=%s HTTP/1.0\nHost:%s\r\n\r\n";
constexpr const char* OVERRIDE_VARIABLE = "VELMORA_DIRECTORY";

// The broker answer: "resp:" S, four key characters, host ",", four key
// characters, address ",", five key characters, port ",".
constexpr size_t HOST_SKIP = 5;       // from the status character to the host
constexpr size_t ADDRESS_SKIP = 5;    // from the host's comma to the address
constexpr size_t PORT_SKIP = 6;       // from the address's comma to the port
constexpr int MAX_BASE_PORT = 65534;  // the command port is the next one

// Copies [begin, end) into a field of `size` bytes, cut on a character
// boundary.
void copy_span(char* dst, size_t size, const char* begin, const char* end)
{
    const size_t n = utf8_prefix_length(begin, static_cast<size_t>(end - begin), size - 1);
    std::memcpy(dst, begin, n);
    dst[n] = 0;
}

// A decimal integer as a C conversion reads it: leading white space skipped,
// an optional sign, digits up to the first other character. Values beyond
// the int range saturate (they are no port either way).
int32_t read_decimal(const char* text)
{
    const long v = std::strtol(text, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

// The text after `skip` characters from `at`, or null when the text ends
// before that.
const char* skip_within(const char* at, size_t skip)
{
    for (size_t i = 0; i < skip; ++i)
        if (at[i] == 0)
            return nullptr;
    return at + skip;
}

const char* text_end(const char* from)
{
    const char* lt = std::strchr(from, '<');
    return lt ? lt : from + std::strlen(from);
}

// Receives into buffer (DIRECTORY_BUFFER_SIZE bytes) until it is full but for
// its terminator, the peer closes, or a piece does not come in time.
size_t receive_answer(StreamerLink* link, int fd, char* buffer)
{
    std::memset(buffer, 0, DIRECTORY_BUFFER_SIZE);
    return link_recv_exact(fd, buffer, DIRECTORY_BUFFER_SIZE - 1, link->times.reply_ms,
                           link->abort_flag);
}

// Step 1 and 2: the brokers list from the directory service host.
void fetch_brokers(StreamerLink* link, const DirectoryConfig& config)
{
    link->broker_count = 0;
    if (link_connect_host(link, config.host, config.port, &link->directory_socket) != 0)
        link_connect(link, config.address, config.port, 0, &link->directory_socket);
    if (!link->directory_socket.valid())
        return;
    char buffer[DIRECTORY_BUFFER_SIZE];
    const size_t n = directory_request_text(buffer, config.host);
    if (n && link_send_all(link->directory_socket.fd(), buffer, static_cast<long>(n)) == 0) {
        receive_answer(link, link->directory_socket.fd(), buffer);
        link->broker_count = directory_parse_brokers(buffer, link->brokers, MAX_BROKERS);
    }
    link_close(link, &link->directory_socket);
}

// Step 5: the first broker that accepts a connection, or -1.
int connect_broker(StreamerLink* link)
{
    for (int i = 0; i < link->broker_count; ++i) {
        const BrokerEntry& b = link->brokers[i];
        if (link_connect(link, b.address, b.port, 0, &link->broker_socket) == 0 ||
            link_connect_host(link, b.host, b.port, &link->broker_socket) == 0)
            return i;
    }
    return -1;
}

// Steps 6 and 7: the question and the answer.
int ask_broker(StreamerLink* link, const BrokerEntry& broker, char* answer)
{
    char user[LOGIN_FIELD_SIZE] = {};
    std::memcpy(user, link->settings->username, sizeof(user) - 1);
    char encoded[BASE64URL_OUT_SIZE];
    // A name with a byte above 127 is sent as far as it could be encoded.
    base64url_encode(encoded, reinterpret_cast<const uint8_t*>(user), std::strlen(user));
    char request[DIRECTORY_BUFFER_SIZE];
    const size_t n = broker_request_text(request, encoded, broker.host);
    const int fd = link->broker_socket.fd();
    if (!n || link_send_all(fd, request, static_cast<long>(n)) != 0)
        return ERR_DIRECTORY_SERVICE;
    return receive_answer(link, fd, answer) > 0 ? 0 : ERR_DIRECTORY_SERVICE;
}

}  // namespace

DirectoryConfig directory_config()
{
    DirectoryConfig c{};
    copy_text(c.host, sizeof(c.host), VELMORA_DIRECTORY_HOST);
    copy_text(c.address, sizeof(c.address), VELMORA_DIRECTORY_ADDRESS);
    c.port = VELMORA_DIRECTORY_PORT;
    const char* over = std::getenv(OVERRIDE_VARIABLE);
    if (!over)
        return c;
    const char* comma1 = std::strchr(over, ',');
    const char* comma2 = comma1 ? std::strchr(comma1 + 1, ',') : nullptr;
    const char* host_end = comma1 ? comma1 : over + std::strlen(over);
    if (host_end > over)
        copy_span(c.host, sizeof(c.host), over, host_end);
    if (comma1) {
        const char* address_end = comma2 ? comma2 : comma1 + std::strlen(comma1);
        if (address_end > comma1 + 1)
            copy_span(c.address, sizeof(c.address), comma1 + 1, address_end);
    }
    if (comma2 && comma2[1])
        c.port = read_decimal(comma2 + 1);
    return c;
}

int directory_parse_brokers(const char* text, BrokerEntry* out, int max)
{
    int count = 0;
    const char* at = text;
    while (count < max) {
        const char* host = std::strstr(at, "<host>");
        if (!host)
            break;
        host += std::strlen("<host>");
        const char* host_end = text_end(host);
        const char* ip = std::strstr(host_end, "<ip>");
        if (!ip)
            break;
        ip += std::strlen("<ip>");
        const char* ip_end = text_end(ip);
        const char* port = std::strstr(ip_end, "<port>");
        if (!port)
            break;
        port += std::strlen("<port>");
        BrokerEntry& e = out[count++];
        copy_span(e.host, sizeof(e.host), host, host_end);
        copy_span(e.address, sizeof(e.address), ip, ip_end);
        e.port = read_decimal(port);
        at = text_end(port);
    }
    return count;
}

int directory_parse_answer(const char* text, BrokerAnswer* out)
{
    const char* resp = std::strstr(text, "resp:");
    if (!resp)
        return ERR_DIRECTORY_SERVICE;
    const char* status = resp + std::strlen("resp:");
    if (!std::isdigit(static_cast<unsigned char>(*status)))
        return ERR_DIRECTORY_SERVICE;
    if (*status != '0')
        return ERR_LOGIN_REFUSED;
    const char* host = skip_within(status, HOST_SKIP);
    const char* host_end = host ? std::strchr(host, ',') : nullptr;
    const char* address = host_end ? skip_within(host_end, ADDRESS_SKIP) : nullptr;
    const char* address_end = address ? std::strchr(address, ',') : nullptr;
    const char* port = address_end ? skip_within(address_end, PORT_SKIP) : nullptr;
    if (!port || !std::strchr(port, ','))
        return ERR_DIRECTORY_SERVICE;
    const int32_t base_port = read_decimal(port);
    if (base_port <= 0 || base_port > MAX_BASE_PORT)
        return ERR_DIRECTORY_SERVICE;
    copy_span(out->host, sizeof(out->host), host, host_end);
    copy_span(out->address, sizeof(out->address), address, address_end);
    out->port = base_port;
    return 0;
}

size_t directory_request_text(char* out, const char* service_host)
{
    const int n = std::snprintf(out, DIRECTORY_BUFFER_SIZE, DIRECTORY_REQUEST, service_host);
    return n > 0 && static_cast<size_t>(n) < DIRECTORY_BUFFER_SIZE ? static_cast<size_t>(n) : 0;
}

size_t broker_request_text(char* out, const char* encoded_user, const char* broker_host)
{
    const int n = std::snprintf(out, DIRECTORY_BUFFER_SIZE, BROKER_REQUEST, encoded_user,
                                broker_host);
    return n > 0 && static_cast<size_t>(n) < DIRECTORY_BUFFER_SIZE ? static_cast<size_t>(n) : 0;
}

int directory_lookup(StreamerLink* link)
{
    const DirectoryConfig config = directory_config();
    fetch_brokers(link, config);
    if (link->broker_count == 0) {
        // The directory host itself, at its fallback address, stands in.
        BrokerEntry& e = link->brokers[0];
        copy_text(e.host, sizeof(e.host), config.host);
        copy_text(e.address, sizeof(e.address), config.address);
        e.port = config.port;
        link->broker_count = 1;
    }
    const int chosen = connect_broker(link);
    if (chosen < 0)
        return ERR_DIRECTORY_SERVICE;
    char answer[DIRECTORY_BUFFER_SIZE];
    const int asked = ask_broker(link, link->brokers[chosen], answer);
    link_close(link, &link->broker_socket);
    if (asked != 0)
        return asked;
    BrokerAnswer parsed{};
    const int rc = directory_parse_answer(answer, &parsed);
    if (rc != 0)
        return rc;
    copy_text(link->host, sizeof(link->host), parsed.host);
    copy_text(link->host_address, sizeof(link->host_address), parsed.address);
    link->base_port = parsed.port;
    link->command_port = parsed.port + 1;
    return 0;
}
