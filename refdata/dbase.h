// The reference database: aircraft models and their categories, similar
// models, registration-prefix groups, airlines and cargo operators, add-on
// airport publishers, wingspans, fixes for wrong model codes, the default
// simulators' airports and the registrations. Read once per process from
// input/dbase.enc by gf_readDbase, on the run thread, before any other
// thread uses the tables; read-only afterwards (the start of a thread orders
// the writes before its reads, so readers take no lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "refdata/code_table.h"
#include "refdata/fnv_hash.h"

namespace qvl {

// The five fields that follow the registration, laid out as a livery key
// (airline, second airline = operator, model, cargo flag, a byte always 1),
// so that a found record becomes a livery key without change.
struct DbaseKey {
    CodeId airlineId = 0;
    CodeId operatorId = 0;  // 0: no operator
    CodeId modelId = 0;
    std::uint8_t cargo = 0;
    std::uint8_t marker = 1;

    friend bool operator==(const DbaseKey&, const DbaseKey&) = default;
};
static_assert(sizeof(DbaseKey) == 8, "a DbaseKey must pack like a livery key");

struct DbaseRecord {
    std::string registration;
    DbaseKey key;
};

// A registration lookup's result: the record's key and the found flag.
struct DbaseIds {
    DbaseKey key;
    bool found = false;
};

// An add-on airport publisher and its airport entries ("EHAM12": an ICAO
// code followed by a number), in the order of the file, empty pieces kept.
struct ThirdpartyEntry {
    std::string publisher;
    std::vector<std::string> airports;
};

using TextSet = std::set<std::string, std::less<>>;
using TextGroups = std::vector<std::vector<std::string>>;

// Where a registration prefix stands in the prefix groups: its group and its
// own place there. The prefix's fellows are that group without that place;
// storing the place instead of a copy of the fellows keeps the map as small
// as the groups (a copy per member grows with the square of a group).
struct PrefixPlace {
    std::size_t group = 0;
    std::size_t self = 0;
};
using PrefixMap = std::unordered_map<std::string, PrefixPlace, Fnv1aHash, std::equal_to<>>;

// The model ids that always have a half wingspan slot.
inline constexpr std::size_t kHalfWingspanSlots = 2700;

struct DbaseTables {
    TextSet icaoModelCodes;
    TextSet icaoAirlineCodes;
    std::set<CodeId> heavyModelIds;
    std::set<CodeId> largeModelIds;
    std::set<CodeId> buzjetModelIds;
    std::set<CodeId> highPerfModelIds;
    std::set<CodeId> rotorcraftModelIds;
    // Each group sorted ascending.
    TextGroups similarGroups;
    TextGroups prefixGroups;
    // Prefix -> its place in prefixGroups; prefixPeers() gives its fellows.
    PrefixMap prefixMap;
    // The first name of a group is the publisher's name as the program reports it.
    TextGroups publisherGroups;
    // Model code -> half wingspan in nautical miles.
    std::map<std::string, double, std::less<>> wingspanByModel;
    // Half wingspans by model id, 0.0 where a model has none: kHalfWingspanSlots
    // slots, or as many as the model table had when the wingspans were read
    // where it was longer.
    std::vector<double> halfWingspanTable = std::vector<double>(kHalfWingspanSlots, 0.0);
    double maxHalfWingspan = 0.0;
    TextSet simaddonAirports20;
    TextSet simaddonAirports24;
    std::vector<ThirdpartyEntry> thirdparties20;
    std::vector<ThirdpartyEntry> thirdparties24;
    // Sorted by registration (byte-wise), one record per registration.
    std::vector<DbaseRecord> dbaseRecords;

    // The other members of the prefix's group, in group order; empty when
    // the prefix is in no group of two or more.
    [[nodiscard]] std::vector<std::string> prefixPeers(std::string_view prefix) const;
};

// The prefix map of the groups: every member of a group of two or more maps
// to its place. A member of several groups (or twice in one) takes the place
// whose text "member,fellow,fellow..." sorts first byte-wise, as the
// database has always resolved it. Members are the trimmed, comma-free
// pieces of the groups' lists.
PrefixMap lf_buildPrefixMap(const TextGroups& groups);

// The program-wide tables, for reading.
const DbaseTables& dbaseTables();
// The same for the few writers inside this library (the reader, the
// similar-model tables). Nobody else changes them.
DbaseTables& dbaseTablesForWriting();

// Decrypts input/dbase.enc to input/dbase.xml, reads every section into the
// tables and the code tables, and removes the plain file on every way out.
// False when dbase.xml does not parse. Throws std::runtime_error "{} not
// available" / "{} stream decrypt failed" (the path of dbase.enc), and
// qvl::UserErrorException 61 for a missing root or required section, or a
// required section without any value.
bool gf_readDbase();

// Empties every table and both code tables. Tests and tools only: no other
// thread may read the tables meanwhile.
void resetDbaseTables();

}  // namespace qvl
