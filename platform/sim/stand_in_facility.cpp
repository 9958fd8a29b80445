// Facility data of the stand-in: the airport item, its taxi parkings and
// helipads, laid out field by field as the client's facility definition
// lists them, then the end item.
#include <optional>
#include <utility>

#include "platform/sim/stand_in_world.h"

namespace qvl::sim {
namespace {

enum class Item { airport, taxiParking, helipad };

std::optional<Item> itemNamed(std::string_view name) {
    if (name == "AIRPORT") return Item::airport;
    if (name == "TAXI_PARKING") return Item::taxiParking;
    if (name == "HELIPAD") return Item::helipad;
    return std::nullopt;
}

template <class T>
void put(Message& message, T value) {
    appendBytes(message, &value, sizeof value);
}

bool putAirportField(Message& m, const FacilityAirport& a, std::string_view field, bool terminate) {
    if (field == "LATITUDE")
        put(m, a.latitude);
    else if (field == "LONGITUDE")
        put(m, a.longitude);
    else if (field == "ALTITUDE")
        put(m, a.altitudeMetres);
    else if (field == "N_HELIPADS")
        put(m, static_cast<std::int32_t>(a.helipads.size()));
    else if (field == "N_TAXI_PARKINGS")
        put(m, static_cast<std::int32_t>(a.parkings.size()));
    else if (field == "NAME") {
        char name[32];
        writeFixedText(name, sizeof name, a.name, terminate);
        appendBytes(m, name, sizeof name);
    } else
        return false;
    return true;
}

bool putParkingField(Message& m, const FacilityParking& p, std::string_view field) {
    if (field == "TYPE")
        put(m, p.type);
    else if (field == "TAXI_POINT_TYPE")
        put(m, p.taxiPointType);
    else if (field == "NAME")
        put(m, p.name);
    else if (field == "SUFFIX")
        put(m, p.suffix);
    else if (field == "NUMBER")
        put(m, p.number);
    else if (field == "ORIENTATION")
        put(m, p.orientation);
    else if (field == "HEADING")
        put(m, p.heading);
    else if (field == "RADIUS")
        put(m, p.radius);
    else if (field == "BIAS_X")
        put(m, p.biasX);
    else if (field == "BIAS_Z")
        put(m, p.biasZ);
    else
        return false;
    return true;
}

bool putHelipadField(Message& m, const FacilityHelipad& h, std::string_view field) {
    if (field == "LATITUDE")
        put(m, h.latitude);
    else if (field == "LONGITUDE")
        put(m, h.longitude);
    else if (field == "ALTITUDE")
        put(m, h.altitude);
    else if (field == "HEADING")
        put(m, h.heading);
    else if (field == "LENGTH")
        put(m, h.length);
    else if (field == "WIDTH")
        put(m, h.width);
    else if (field == "SURFACE")
        put(m, h.surface);
    else if (field == "TYPE")
        put(m, h.type);
    else
        return false;
    return true;
}

// The definition split into the airport's own fields and its lists, in the
// order the lists were opened. Nothing when it does not describe an airport.
struct FacilityLayout {
    std::vector<std::string> airportFields;
    std::vector<std::pair<Item, std::vector<std::string>>> lists;
};

std::optional<FacilityLayout> layoutOf(const std::vector<std::string>& definition) {
    FacilityLayout layout;
    std::vector<Item> open;
    for (const std::string& field : definition) {
        if (field.rfind("OPEN ", 0) == 0) {
            const auto item = itemNamed(std::string_view(field).substr(5));
            if (!item || (open.empty() != (*item == Item::airport))) return std::nullopt;
            open.push_back(*item);
            if (*item != Item::airport) layout.lists.push_back({*item, {}});
        } else if (field.rfind("CLOSE ", 0) == 0) {
            if (open.empty()) return std::nullopt;
            open.pop_back();
        } else if (open.size() == 1) {
            layout.airportFields.push_back(field);
        } else if (open.size() == 2) {
            layout.lists.back().second.push_back(field);
        } else {
            return std::nullopt;
        }
    }
    return layout;
}

Message itemHeader(ConnectionState& connection, RequestId request, std::uint32_t type, std::uint32_t parent,
                   std::uint32_t index, std::uint32_t listSize) {
    RecvFacilityData record{};
    record.userRequestId = request;
    record.uniqueRequestId = connection.nextFacilityItem++;
    record.parentUniqueRequestId = parent;
    record.type = type;
    record.isListItem = parent != 0 ? 1u : 0u;
    record.itemIndex = index;
    record.listSize = listSize;
    return recordMessage(record, recvFacilityData);
}

template <class Entry, class Put>
bool appendList(std::vector<Message>& out, ConnectionState& connection, RequestId request, std::uint32_t type,
                std::uint32_t parent, const std::vector<Entry>& entries, const std::vector<std::string>& fields,
                Put put) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Message m = itemHeader(connection, request, type, parent, static_cast<std::uint32_t>(i),
                               static_cast<std::uint32_t>(entries.size()));
        for (const std::string& field : fields) {
            if (!put(m, entries[i], field)) return false;
        }
        sealMessage(m);
        out.push_back(std::move(m));
    }
    return true;
}

}  // namespace

bool knownFacilityField(std::string_view field) {
    if (field.rfind("OPEN ", 0) == 0) return itemNamed(field.substr(5)).has_value();
    if (field.rfind("CLOSE ", 0) == 0) return itemNamed(field.substr(6)).has_value();
    Message scratch;
    return putAirportField(scratch, FacilityAirport{}, field, true) ||
           putParkingField(scratch, FacilityParking{}, field) || putHelipadField(scratch, FacilityHelipad{}, field);
}

std::vector<Message> facilityReplies(World& world, ConnectionState& connection,
                                     const std::vector<std::string>& definition, RequestId request,
                                     std::string_view icao) {
    std::vector<Message> out;
    const auto layout = layoutOf(definition);
    if (!layout) {
        out.push_back(exceptionMessage(exceptionNameUnrecognized, connection.answering, 1));
        return out;
    }
    const bool terminate = !world.config.unterminatedStrings;
    for (const FacilityAirport& airport : world.config.airports) {
        if (!sameIcao(airport.icao, icao)) continue;
        Message item = itemHeader(connection, request, facilityAirport, 0, 0, 1);
        const std::uint32_t airportItem = connection.nextFacilityItem - 1;
        for (const std::string& field : layout->airportFields) {
            if (!putAirportField(item, airport, field, terminate)) {
                return {exceptionMessage(exceptionNameUnrecognized, connection.answering, 1)};
            }
        }
        sealMessage(item);
        out.push_back(std::move(item));
        for (const auto& [kind, fields] : layout->lists) {
            const bool ok = kind == Item::taxiParking
                                ? appendList(out, connection, request, facilityTaxiParking, airportItem,
                                             airport.parkings, fields, putParkingField)
                                : appendList(out, connection, request, facilityHelipad, airportItem, airport.helipads,
                                             fields, putHelipadField);
            if (!ok) return {exceptionMessage(exceptionNameUnrecognized, connection.answering, 1)};
        }
        break;
    }
    if (!world.config.facilityNeverEnds) {
        RecvFacilityDataEnd end{};
        end.requestId = request;
        out.push_back(recordMessage(end, recvFacilityDataEnd));
    }
    return out;
}

}  // namespace qvl::sim
