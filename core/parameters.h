// parameters.xml: the settings on disk, in the product folder under the
// user's roaming application data.
//   <root><parameters><parameter name="KEY" value="VALUE"/>...</parameters></root>
// Read once per run at start-up (and brought up to date with the running
// version), written whole when created, repaired or reset, and updated one
// setting at a time whenever the user changes a control.
//
// One process-wide lock orders every read and write of the file; every save
// goes to a temporary file that is renamed over the target. Nothing here
// touches a control: whoever reads or resets the settings reports it through
// the status (core/status.h).
#pragma once

#include <pugixml.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_writer.h"
#include "core/settings.h"

namespace qvl {

// Start-up entry: reads the file (creating it with defaults when missing or
// unusable, then switching both scans on) and upgrades an older one.
void gf_initParameters();

// Reads the file into every registered setting and saves it back in the
// program's own layout. True when the file was missing or unusable and a new
// one with default values was written.
bool gf_readParameters();

// Which values a whole-file write stores.
enum class StoredValues : std::uint8_t {
    defaults,  // every setting's default; PROGRAM_VERSION records the running version
    current,   // every setting's current value
};

// Writes a complete new file from every registered setting.
void gf_saveAllParameters(StoredValues values);

// Replaces a file without a root element by a complete new one.
void gf_addParametersRootLevel();

// A parameters.xml that is there but cannot be used (it cannot be opened,
// does not parse, or holds no <parameters> element) is damaged, for the read
// and every save alike. It is kept as parameters0.xml before anything is
// written over it; when that copy cannot be made, it is left as it is and
// every save is refused. The first refusal is logged in full, the later ones
// are counted, and the count is logged once: when a save goes through again,
// when the next run reads the file, or here, at the program's end. Takes no
// lock that a save held up on the disk holds.
void logRefusedParameterSaves();

// Write one setting's current value into the file at once.
void gf_saveStringParameter(const StringParameter& setting);
void gf_saveBoolParameter(const BoolParameter& setting);
void gf_saveIntParameter(const RangeParameter& setting);
// Stores the text as the current value and saves it.
void gf_setStringParameter(StringParameter& setting, std::string text);

// One setting's save as it is handed over: its value then, by value.
struct ParameterSave {
    std::string key;
    std::string value;
    std::string logLine;  // the setting's listing line with that value
    // The setting's value now, as the file holds it: a save whose setting
    // has changed since it was handed over is left to that change's own save,
    // so that an older value never overwrites a newer one.
    std::function<std::string()> current;
};
[[nodiscard]] ParameterSave boolParameterSave(const BoolParameter& setting);
[[nodiscard]] ParameterSave intParameterSave(const RangeParameter& setting);

// Saves of parameters.xml carried out on a writer's thread, so that the
// thread that hands them over touches no disk: each hand-over is one read
// and one write of the file, ordered with every other save of the file
// through its lock. Callable from any thread.
class ParameterSaves {
public:
    explicit ParameterSaves(std::shared_ptr<FileLayer> files);

    void hand(std::vector<ParameterSave> saves);
    // Waits at most `bound` for the saves handed over, drops what is left
    // then (with a log line); true when every save was carried out.
    bool finish(std::chrono::milliseconds bound);
    // Waits at most `bound`; true when none is pending.
    bool drain(std::chrono::milliseconds bound);

private:
    std::mutex mutex_;  // taken before the writer's own leaf lock, never while the file's lock is held
    FileWriter writer_;
};

// The program's saves of parameters.xml, on the disk; pending ones are
// finished within the writer's close bound when the process ends.
ParameterSaves& parameterSaves();

// True when the document has the <parameters> element the settings are read
// from (under root, or at the top of a file without one). A file without it
// is damaged (see logRefusedParameterSaves).
bool holdsParameters(const pugi::xml_node& document);

// XML building blocks shared with the other settings files.
bool gf_appendBoolParameterXml(pugi::xml_node parameters, std::string_view key, bool value);
bool gf_appendIntParameterXml(pugi::xml_node parameters, std::string_view key, std::int32_t value);
bool gf_appendStringParameterXml(pugi::xml_node parameters, std::string_view key, std::string_view value);
// The first parameter element with the key under root (or the document
// itself) / parameters; a missing value attribute reads as false, 0 or "".
std::optional<bool> gf_readBoolParameterXml(const pugi::xml_node& document, std::string_view key);
std::optional<std::int32_t> gf_readIntParameterXml(const pugi::xml_node& document, std::string_view key);
std::optional<std::string> gf_readStringParameterXml(const pugi::xml_node& document, std::string_view key);

// Listing lines in Log.txt (silent while the run is closing).
void gf_logIntParameter(const RangeParameter& setting);
void gf_logStringParameter(const StringParameter& setting);

}  // namespace qvl
