// Fuzzes the directory service's answers: the brokers list and the broker
// answer. Whatever arrives, the parse stays within the text, every field is
// terminated within its size and an accepted port leaves room for the
// command port above it.
#include <cstring>
#include <string>

#include "streamer/directory.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

bool terminated(const char* field, size_t size)
{
    return std::memchr(field, 0, size) != nullptr;
}

int one(const uint8_t* data, size_t size)
{
    // The client receives at most one buffer less its terminator.
    const size_t n = size < DIRECTORY_BUFFER_SIZE ? size : DIRECTORY_BUFFER_SIZE - 1;
    std::string text(reinterpret_cast<const char*>(data), n);
    BrokerEntry brokers[MAX_BROKERS];
    const int count = directory_parse_brokers(text.c_str(), brokers, MAX_BROKERS);
    if (count < 0 || count > MAX_BROKERS)
        return 1;
    for (int i = 0; i < count; ++i)
        if (!terminated(brokers[i].host, sizeof(brokers[i].host)) ||
            !terminated(brokers[i].address, sizeof(brokers[i].address)))
            return 1;
    BrokerAnswer answer{};
    if (directory_parse_answer(text.c_str(), &answer) == 0)
        if (!terminated(answer.host, sizeof(answer.host)) ||
            !terminated(answer.address, sizeof(answer.address)) || answer.port <= 0 ||
            answer.port >= 65535)
            return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one,
                     {
                         "HTTP/1.0 200 OK\r\n\r\nresp:0hst=pc.home,adr=192.168.1.5,port=9000,",
                         "resp:1",
                         "<brokers><broker><host>a.example</host><ip>10.0.0.1</ip><port>81</port>"
                         "</broker><broker><host>b</host><ip>10.0.0.2</ip><port>82</port></broker>"
                         "<broker><host>c</host><ip>10.0.0.3</ip></broker></brokers>",
                     },
                     2 * DIRECTORY_BUFFER_SIZE);
}
