#include "simlink/flight_plan.h"

#include <fmt/format.h>

#include <fstream>
#include <system_error>
#include <utility>

#include "core/log.h"
#include "core/paths.h"
#include "core/text_file.h"

namespace qvl {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFlightPlanFolderName = "orig_dest";
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
    std::error_code error;
    fs::create_directories(planFolder, error);
    if (error) gf_logAttention(fmt::format("gf_createFlightPlanFolder: {}", error.message()));
    return fs::exists(planFolder);
}

void gf_removeFlightPlanFolder(const FlightPlanFolder& folder) {
    const fs::path planFolder = folder.path();
    if (planFolder.empty()) return;
    std::error_code error;
    fs::remove_all(planFolder, error);
    if (error) gf_log(fmt::format("gf_removeFlightPlanFolder: {}", error.message()));
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
