#include "simlink/flight_plan.h"

#include <fmt/format.h>

#include <fstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/paths.h"
#include "core/text_file.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFlightPlanFolderName = "orig_dest";
constexpr std::string_view kEndedPlansFolderName = "orig_dest-ended";
// The numbered places inside the folder of ended plans that a run's folder
// tries, while earlier ones are still being removed.
constexpr unsigned kAsidePlaces = 8;
constexpr std::size_t kCodeLength = 3;

// Exactly three characters. Anything but a letter or a digit becomes a
// blank, so that no text of a flight can break the XML around it.
std::string planCode(std::string_view code) {
    std::string out(kCodeLength, ' ');
    for (std::size_t i = 0; i < kCodeLength && i < code.size(); ++i) {
        const char c = code[i];
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (letterOrDigit) out[i] = c;
    }
    return out;
}

std::string_view flightType(FlightRules rules) { return rules == FlightRules::ifr ? "IFR" : "VFR"; }

void logWriteFailure(const fs::path& file, std::string_view what) {
    gf_logAttention(fmt::format("lf_writeFlightPlan: {} {}", gf_pathToUtf8(file), what));
}

fs::file_type entryType(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type();
}

// One rename a try: into the folder of ended plans' own name when that is
// free, else into a numbered place inside it. Nothing to do when the plan
// folder is not there.
std::error_code moveAside(const fs::path& planFolder) {
    const fs::path ended = endedPlansFolder(planFolder);
    std::error_code error;
    for (unsigned place = 1; place <= kAsidePlaces; ++place) {
        fs::rename(planFolder, ended, error);
        if (!error) return {};
        if (entryType(planFolder) == fs::file_type::not_found) return {};
        // A file or a link of that name is not ours to move into.
        if (entryType(ended) != fs::file_type::directory) return error;
        fs::rename(planFolder, ended / std::to_string(place), error);
        if (!error) return {};
    }
    return error;
}

}  // namespace

fs::path FlightPlanFolder::path() const {
    const std::scoped_lock lock(mutex_);
    return folder_;
}

void FlightPlanFolder::set(fs::path folder) {
    const std::scoped_lock lock(mutex_);
    folder_ = std::move(folder);
}

void FlightPlanFolder::reset() { set({}); }

bool gf_createFlightPlanFolder(FlightPlanFolder& folder) {
    const fs::path planFolder = productFolder() / kFlightPlanFolderName;
    folder.set(planFolder);
    // The plans of a run that was killed: none of them is this run's.
    if (fs::exists(planFolder)) {
        if (const std::error_code error = moveAside(planFolder)) {
            gf_log(fmt::format("gf_createFlightPlanFolder: {}", error.message()));
        }
    }
    std::error_code error;
    fs::create_directories(planFolder, error);
    if (error) gf_logAttention(fmt::format("gf_createFlightPlanFolder: {}", error.message()));
    return fs::exists(planFolder);
}

bool gf_removeFlightPlanFolder(const FlightPlanFolder& folder) {
    const fs::path planFolder = folder.path();
    if (planFolder.empty()) return true;
    const std::error_code error = moveAside(planFolder);
    if (error) gf_log(fmt::format("gf_removeFlightPlanFolder: {}", error.message()));
    return !error;
}

fs::path endedPlansFolder(const fs::path& planFolder) { return planFolder.parent_path() / kEndedPlansFolderName; }

std::error_code removeFolderContents(const fs::path& folder, FileLayer& layer, const std::stop_token& stop) {
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(*it);
    }
    if (error) return error;
    std::error_code first;
    for (const fs::directory_entry& entry : entries) {
        if (stop.stop_requested()) return first;
        std::error_code typeError;
        // The entry itself: a link goes as a link, whatever it points to.
        if (entry.symlink_status(typeError).type() == fs::file_type::directory) {
            error = removeFolderContents(entry.path(), layer, stop);
            if (error && !first) first = error;
            if (stop.stop_requested()) return first;
        }
        error = layer.removeFile(entry.path());
        if (error && !first) first = error;
    }
    return first;
}

std::error_code removeEndedPlans(const fs::path& endedFolder, FileLayer& layer, const std::stop_token& stop) {
    if (entryType(endedFolder) != fs::file_type::directory) return {};
    std::error_code error = removeFolderContents(endedFolder, layer, stop);
    if (error || stop.stop_requested()) return error;
    error = layer.removeFile(endedFolder);
    // A folder moved in meanwhile is for the removal handed over after it.
    if (error == std::errc::directory_not_empty || error == std::errc::file_exists) return {};
    return error;
}

fs::path lf_flightPlanPath(const FlightPlanFolder& folder, std::uint32_t objectId) {
    return folder.path() / fmt::format("{}.pln", objectId);
}

std::string flightPlanText(const FlightPlanFields& fields) {
    // One row of arguments per line of the file.
    // clang-format off
    std::string text = fmt::format("{}\n{}\n{}\n{}{}{}\n{}{}{}\n{}{}{}\n{}\n{}\n",
                                   R"(<?xml version="1.0" encoding="UTF-8"?>)",
                                   R"(<SimBase.Document Type="AceXML" version="4,3">)",
                                   "<FlightPlan.FlightPlan>",
                                   "<FPType>", flightType(fields.rules), "</FPType>",
                                   "<DepartureID>", planCode(fields.origin), "</DepartureID>",
                                   "<DestinationID>", planCode(fields.destination), "</DestinationID>",
                                   "</FlightPlan.FlightPlan>",
                                   "</SimBase.Document>");
    // clang-format on
    text += '\n';
    return text;
}

bool lf_writeFlightPlan(const fs::path& file, const FlightPlanFields& fields) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        logWriteFailure(file, "cannot be opened");
        return false;
    }
    const std::string text = flightPlanText(fields);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    out.close();
    // The simulator would be handed a plan that is missing or cut short.
    if (out.fail()) {
        logWriteFailure(file, "could not be written");
        return false;
    }
    return true;
}

}  // namespace qvl
