#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>

#include <array>
#include <string>

#include "platform/net/socket.h"

namespace qvl::net {
namespace {

using namespace std::chrono_literals;

TEST(Udp, DatagramsOversizedDatagramsAndClose) {
    UdpSocket receiver;
    UdpSocket sender;
    ASSERT_EQ(receiver.create(), 0);
    ASSERT_EQ(receiver.bind(Address::loopback, 0), 0);
    ASSERT_EQ(receiver.setReceiveTimeout(2000ms), 0);
    ASSERT_EQ(sender.create(), 0);
    const std::uint16_t port = receiver.localPort();
    for (const std::size_t size : std::initializer_list<std::size_t>{7, 16383, 16384, 20000}) {
        sender.sendTo(std::string(size, 'a'), port);
    }
    std::array<char, 16384> buffer{};
    // The real size of every datagram, also of those too big for the buffer.
    for (auto [status, size] : {std::pair{IoStatus::ok, 7},
                                {IoStatus::ok, 16383},
                                {IoStatus::oversized, 16384},
                                {IoStatus::oversized, 20000}}) {
        const IoResult r = receiver.receive(buffer);
        EXPECT_EQ(r.status, status) << size;
        EXPECT_EQ(r.bytes, static_cast<std::size_t>(size));
    }
    UdpSocket second;  // errors come as Winsock numbers
    ASSERT_EQ(second.create(), 0);
    EXPECT_EQ(second.bind(Address::loopback, port), kWsaEAddrInUse);

    ASSERT_EQ(receiver.setReceiveTimeout(10ms), 0);
    EXPECT_EQ(receiver.receive(buffer).status, IoStatus::timedOut);
    receiver.close();
    receiver.close();
    EXPECT_EQ(receiver.receive(buffer).status, IoStatus::closed);
}

TEST(Tcp, ConnectAcceptSendReceiveAndPeerClose) {
    TcpListener listener;
    ASSERT_EQ(listener.create(), 0);
    ASSERT_EQ(listener.setReuseAddress(), 0);
    ASSERT_EQ(listener.bind(Address::loopback, 0), 0);
    ASSERT_EQ(listener.listen(), 0);
    EXPECT_EQ(listener.accept(10ms).result.status, IoStatus::timedOut);
    int error = -1;
    auto client = TcpStream::connectTo(listener.localPort(), error);
    ASSERT_TRUE(client) << error;
    auto server = listener.accept(2000ms).stream;
    ASSERT_TRUE(server);
    EXPECT_EQ(server->setNoDelay(), 0);
    EXPECT_EQ(server->send("Qs999=version\r\n").status, IoStatus::ok);
    std::array<char, 64> buffer{};
    const IoResult r = client->receive(buffer, 2000ms);
    ASSERT_EQ(r.status, IoStatus::ok);
    EXPECT_EQ(std::string(buffer.data(), r.bytes), "Qs999=version\r\n");
    EXPECT_EQ(client->receive(buffer, 10ms).status, IoStatus::timedOut);

    // The peer's close reads as closed; sending to it soon fails, without a SIGPIPE.
    client->close();
    EXPECT_EQ(server->receive(buffer, 2000ms).status, IoStatus::closed);
    IoResult sent{IoStatus::ok, 0, 0};
    for (int i = 0; i < 100 && sent.status == IoStatus::ok; ++i) sent = server->send("exit\r\n");
    EXPECT_EQ(sent.status, IoStatus::error);
    EXPECT_EQ(sent.error, kWsaEConnReset);
    listener.close();
    EXPECT_EQ(listener.accept(10ms).result.status, IoStatus::closed);
}

TEST(SocketHandles, TheDescriptorIsReleasedByTheLastOfCloseAndUse) {
    SocketHandle handle;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_TRUE(handle.assign(fd));
    {
        SocketHandle::Use use(handle);
        ASSERT_EQ(use.fd(), fd);
        handle.close();
        EXPECT_NE(::fcntl(fd, F_GETFD), -1);      // still open while in use
        EXPECT_FALSE(SocketHandle::Use(handle));  // no new use after the close
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);

    // A close that comes before the descriptor releases it on arrival.
    SocketHandle early;
    early.close();
    const int late = ::socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_FALSE(early.assign(late));
    EXPECT_EQ(::fcntl(late, F_GETFD), -1);
}

}  // namespace
}  // namespace qvl::net
