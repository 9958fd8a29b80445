// The stand-in traffic client's replay file: timed traffic lines and QNH
// datagrams, one per line.
//
//   # a comment
//   C <latitude> <longitude>   the point the file's positions are centred on
//   T <seconds> <traffic line> a traffic datagram, <seconds> after the start
//   Q <seconds> <json>         a QNH datagram
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvl::standin {

enum class DatagramKind { traffic, qnh };

struct TimedDatagram {
    DatagramKind kind = DatagramKind::traffic;
    double offsetSeconds = 0.0;
    std::string payload;
};

struct TrafficFile {
    // The centre given by a "C" line, else the first traffic line's position.
    double centreLatitude = 0.0;
    double centreLongitude = 0.0;
    std::vector<TimedDatagram> datagrams;  // in file order
};

// Parses the text; a malformed line throws std::runtime_error naming its line number.
TrafficFile parseTrafficFile(std::string_view text);
TrafficFile readTrafficFile(const std::filesystem::path& path);

// Field helpers for traffic lines (comma-separated, fields from 0).
std::vector<std::string> splitLine(std::string_view line);
std::string joinLine(const std::vector<std::string>& fields);

// The line with its time field set to the given time (seconds since 1970).
std::string withTime(std::string_view line, double seconds);
// The line with its position moved by the given offsets (degrees).
std::string withPositionShift(std::string_view line, double deltaLatitude, double deltaLongitude);

}  // namespace qvl::standin
