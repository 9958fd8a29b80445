// The base of the traffic client's two UDP readers: a receive with a
// one-second time-out, duplicate suppression for a client on another PC, a
// packet counter for the status lamps and a stop flag. One thread runs a
// reader's body; any thread may ask it to stop, by the stop flag or through
// the stop token of the body's thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/refused_line_log.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "platform/net/socket.h"

namespace qvl {

// A reader thread ended with an error: the message line and Log.txt say so,
// and the run ends with "READER ERROR", restarting after 15 seconds (unless
// another party ended it first).
void gf_readerStopped(RunState& run, const std::string& readerName, const std::string& error);

// Where the traffic client runs. On this PC the readers listen on 127.0.0.1
// only and every datagram counts; from another PC they listen on every
// interface and a datagram repeated at once is taken once.
enum class ClientLocation : std::uint8_t { thisPc, otherPc };

class UdpReader {
public:
    static constexpr std::size_t kBufferSize = 16384;

    // The lamp is the one of the feed's lamps that this reader drives. The
    // kinds of refused input that the reader logs (beside the base's own
    // oversized datagrams) are limited on the clock's time.
    UdpReader(std::string name, FeedState& feed, RunState& run, std::atomic<ReaderLamp>& lamp,
              std::vector<std::string> refusalKinds, SteadyNow now);
    virtual ~UdpReader();
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    [[nodiscard]] const std::string& name() const noexcept { return name_; }
    // Where the traffic client runs, by the feed's rtLocal.
    [[nodiscard]] ClientLocation clientLocation() const noexcept {
        return feed_.rtLocal.load() ? ClientLocation::thisPc : ClientLocation::otherPc;
    }

    // The thread body: open the socket, receive until stopped (by the stop
    // flag or the token), clean up. An error ends the reader through
    // gf_readerStopped. Bodies on one reader never overlap: a new one waits
    // until the previous one has ended.
    void threadBody(const std::stop_token& stop, std::uint16_t port, ClientLocation client);

    // Creates the socket and binds it to 127.0.0.1 (client on this PC) or to
    // every interface; throws SocketError with the reader's texts.
    void open(std::uint16_t port, ClientLocation client);
    // Receives until the stop flag is seen; throws SocketError "receive
    // error: ..." when the socket fails while no stop was asked. The socket
    // stays for the body to close.
    void receiveLoop(ClientLocation client);

    // The bound port (the ephemeral one when opened with port 0); 0 while no body runs.
    [[nodiscard]] std::uint16_t boundPort() const noexcept { return boundPort_.load(); }

    // Raises the stop flag and wakes a blocked receive.
    void requestStop();
    void clearStop() noexcept { stopFlag_.store(false); }
    [[nodiscard]] bool stopRequested() const noexcept { return stopFlag_.load(); }

    [[nodiscard]] std::uint32_t packetCount() const noexcept { return packetCount_.load(); }
    // Packet counter and lamp count back to 0, the lamp's receiving flag set.
    void resetCounters() noexcept;
    // One look of the lamp refresh: stale when nothing arrived since the last look.
    void refreshLamp();

protected:
    // One datagram (the byte after it in the buffer is 0).
    virtual void onData(std::string_view datagram) = 0;
    // The socket is bound: the lamps go on.
    virtual void onOpened() = 0;
    // The loop ended on the stop flag.
    virtual void onStopped() = 0;
    // The body is leaving, for whatever reason: the lamps go off.
    virtual void onLeaving() = 0;

    // A line about refused input of the derived reader's kind (the index
    // into its refusalKinds), built and logged only while the kind is not
    // flooding. Body thread only, as are onData and the count lines.
    template <typename MakeLine>
    void logRefused(std::size_t kind, MakeLine&& makeLine) {
        if (admitRefused(kind)) gf_log(std::forward<MakeLine>(makeLine)());
    }
    // Whether a line of the kind is to be logged in full (by the caller, with
    // whichever writer); false when it was counted instead.
    bool admitRefused(std::size_t kind) { return refused_.admit(kind + kFirstDerivedKind); }

    FeedState& feed_;
    RunState& run_;
    std::atomic<ReaderLamp>& lamp_;

private:
    static constexpr std::size_t kOversizedKind = 0;
    static constexpr std::size_t kFirstDerivedKind = 1;

    void reportFailure(const std::string& error);
    std::shared_ptr<net::UdpSocket> currentSocket();
    void closeSocket();
    void handleDatagram(std::size_t size, ClientLocation client);

    const std::string name_;
    std::mutex bodyMutex_;    // held for a whole body; taken before socketMutex_
    std::mutex socketMutex_;  // leaf lock: guards socket_
    std::shared_ptr<net::UdpSocket> socket_;
    std::atomic<bool> stopFlag_{false};
    std::atomic<std::uint16_t> boundPort_{0};
    std::atomic<std::uint32_t> packetCount_{0};
    std::atomic<std::uint32_t> lampCount_{0};
    std::atomic<bool> lampReceiving_{true};
    // Used by the body's thread only.
    std::array<char, kBufferSize> buffer_{};
    std::string previous_;
    RefusedLineLog refused_;
};

}  // namespace qvl
