#include "feed/qnh_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <gsl/narrow>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "core/log.h"
#include "feed/traffic_line.h"

namespace qvl {
namespace {

constexpr double kInchesHundredthsToHpa = 0.33865307;

// Rounds to the nearest whole number; a value that no 32-bit integer holds is
// a narrowing error (never an undefined conversion).
std::int32_t roundToInt32(double value) {
    const double rounded = std::round(value);
    if (!std::isfinite(rounded) || rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        throw gsl::narrowing_error{};
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace

Result<std::int32_t, QnhRefusal> readQnhDatagram(std::string_view datagram) {
    try {
        const nlohmann::json json = nlohmann::json::parse(datagram);
        const auto member = json.is_object() ? json.find("QNH") : json.end();
        if (member == json.end() || member->is_null()) {
            return fail(QnhRefusal::noQnh, fmt::format("no QNH {}", printable(datagram)));
        }
        std::int32_t qnh = kStandardQnh;
        if (member->is_number_float()) {
            // The client's value is taken at single precision, as it has always been.
            const double value = member->get<double>();
            if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
                throw gsl::narrowing_error{};
            }
            qnh = roundToInt32(static_cast<double>(static_cast<float>(value)));
        } else if (member->is_number_unsigned()) {
            qnh = gsl::narrow<std::int32_t>(member->get<std::uint64_t>());
        } else if (member->is_number_integer()) {
            qnh = gsl::narrow<std::int32_t>(member->get<std::int64_t>());
        } else if (member->is_string()) {
            const std::string& text = member->get_ref<const std::string&>();
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), qnh);
            if (ec != std::errc{} || end == text.data()) {
                return fail(QnhRefusal::badText,
                            fmt::format("QNH string parse error: {} in {}", printable(text), printable(datagram)));
            }
        } else {
            return fail(QnhRefusal::noQnh, fmt::format("no QNH {}", printable(datagram)));
        }
        if (qnh > kQnhMaximum) qnh = roundToInt32(static_cast<double>(qnh) * kInchesHundredthsToHpa);
        return std::clamp(qnh, kQnhMinimum, kQnhMaximum);
    } catch (const std::exception& e) {
        return fail(QnhRefusal::unreadable, fmt::format("Exception {}, in {}", e.what(), printable(datagram)));
    }
}

std::optional<std::int32_t> qnhOfDatagram(std::string_view datagram) {
    const auto qnh = readQnhDatagram(datagram);
    return qnh ? std::optional<std::int32_t>(*qnh) : std::nullopt;
}

QnhReader::QnhReader(TrafficReader& trafficReader, FeedState& feed, RunState& run, SteadyNow now)
    : UdpReader("QNH Reader", feed, run, feed.weatherLamp,
                {"QNH datagrams without a QNH", "QNH datagrams with a QNH text that is no number",
                 "unreadable QNH datagrams"},
                std::move(now)),
      trafficReader_(trafficReader) {}

void QnhReader::onData(std::string_view datagram) { onQnhDatagram(datagram); }

void QnhReader::onQnhDatagram(std::string_view datagram) {
    const auto qnh = readQnhDatagram(datagram);
    if (!qnh) {
        // A text that is no number has always been flagged for attention.
        if (admitRefused(static_cast<std::size_t>(qnh.error()))) {
            if (qnh.error() == QnhRefusal::badText) {
                gf_logAttention(qnh.errorText());
            } else {
                gf_log(qnh.errorText());
            }
        }
        return;
    }
    // The standard pressure is published every time, any other value only when it changed.
    if (*qnh == lastQnh_.load() && *qnh != kStandardQnh) return;
    publish(*qnh);
}

void QnhReader::publish(std::int32_t qnh) {
    lastQnh_.store(qnh);
    trafficReader_.setQnh(qnh);
    feed_.publishedQnh.store(qnh);
    feed_.displayedQnh.store(qnh);
    ReaderLamp stale = ReaderLamp::stale;
    feed_.weatherLamp.compare_exchange_strong(stale, ReaderLamp::receiving);
    feed_.repaint();
}

void QnhReader::onOpened() {
    feed_.weatherLamp.store(ReaderLamp::receiving);
    feed_.repaint();
}

void QnhReader::onStopped() { gf_log("QNH Reader has stopped"); }

void QnhReader::onLeaving() {
    feed_.weatherLamp.store(ReaderLamp::stopped);
    feed_.repaint();
}

}  // namespace qvl
