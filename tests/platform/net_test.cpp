// Socket ownership, the readiness wait and an exclusive listening port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/net.h"

namespace {

TEST(Socket, ClosesExactlyOnce)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    {
        Socket a(fd);
        Socket b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.fd(), fd);
        Socket c;
        c = std::move(b);
        EXPECT_NE(fcntl(fd, F_GETFD), -1);
    }
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

TEST(Socket, ListenerWakesOnAConnectionAndOwnsItsPort)
{
    Socket l = tcp_listen(0, 5);
    ASSERT_TRUE(l.valid());
    sockaddr_in a{};
    socklen_t len = sizeof(a);
    getsockname(l.fd(), reinterpret_cast<sockaddr*>(&a), &len);
    EXPECT_FALSE(tcp_listen(ntohs(a.sin_port), 5).valid());
    EXPECT_EQ(wait_readable(l.fd(), 10), 0);
    Socket c(socket(AF_INET, SOCK_STREAM, 0));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(c.fd(), reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    EXPECT_EQ(wait_readable(l.fd(), 5000), 1);
}

}  // namespace
