// The QNH Reader: the sea-level pressure that the traffic client sends as
// JSON ({"QNH": 1013}) in UDP datagrams, published for the engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/refused_line_log.h"
#include "core/result.h"
#include "feed/traffic_reader.h"
#include "feed/udp_reader.h"

namespace qvl {

inline constexpr std::int32_t kQnhMinimum = 900;
inline constexpr std::int32_t kQnhMaximum = 1100;

// Why a datagram gives no QNH.
enum class QnhRefusal : std::uint8_t {
    noQnh,       // no "QNH" member, null, or neither number nor text
    badText,     // a text that is no number
    unreadable,  // no JSON, or a number that no 32-bit integer holds
};

// The QNH (hPa) that a datagram holds: a number or a numeric text, in hPa,
// or in inches of mercury x 100 when above 1100, clamped to 900..1100; or why
// it holds none, with the line to log.
Result<std::int32_t, QnhRefusal> readQnhDatagram(std::string_view datagram);
// The same without the reason.
std::optional<std::int32_t> qnhOfDatagram(std::string_view datagram);

class QnhReader : public UdpReader {
public:
    // A new QNH is also handed to the traffic reader. The clock paces the log
    // lines of refused datagrams.
    QnhReader(TrafficReader& trafficReader, FeedState& feed, RunState& run, SteadyNow now = steadyClockNow);

    // lf_onQnhDatagram: the datagram's QNH, published when it is the standard
    // pressure or differs from the last one.
    void onQnhDatagram(std::string_view datagram);

    [[nodiscard]] std::int32_t lastQnh() const noexcept { return lastQnh_.load(); }
    void setLastQnh(std::int32_t hPa) noexcept { lastQnh_.store(hPa); }

protected:
    void onData(std::string_view datagram) override;
    void onOpened() override;
    void onStopped() override;
    void onLeaving() override;

private:
    void publish(std::int32_t qnh);

    TrafficReader& trafficReader_;
    std::atomic<std::int32_t> lastQnh_{kStandardQnh};
};

}  // namespace qvl
