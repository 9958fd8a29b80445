#include "core/parameters.h"

#include <fmt/format.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/version.h"
#include "core/xml.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

// The one lock of parameters.xml. Recursive, because a single-setting save
// may fall back to a whole-file write. Nothing here calls the window: what
// the controls show is the status's to report, after the file is done.
// Lock order: first; the settings' own leaf locks and the log mutex are
// taken while it is held, never the other way round.
class ParametersLock {
public:
    ParametersLock() { mutex().lock(); }
    ~ParametersLock() { mutex().unlock(); }
    ParametersLock(const ParametersLock&) = delete;
    ParametersLock& operator=(const ParametersLock&) = delete;

private:
    static std::recursive_mutex& mutex() {
        static std::recursive_mutex m;
        return m;
    }
};

std::string boolText(bool v) { return v ? "true" : "false"; }

// root (or the document itself), then its first parameters element.
pugi::xml_node parametersOf(const pugi::xml_node& document) {
    pugi::xml_node root = document.child("root");
    if (!root) root = document;
    return root.child("parameters");
}

pugi::xml_node firstParameter(const pugi::xml_node& document, std::string_view key) {
    const std::string k(key);
    for (pugi::xml_node p : parametersOf(document).children("parameter")) {
        if (k == p.attribute("name").as_string()) return p;
    }
    return {};
}

void logBool(const BoolParameter& s) { gf_logUnlessClosing(fmt::format("{}={}", s.key(), boolText(s.value()))); }

void logAppendFailure(const Parameter& s, const std::string& value) {
    gf_logUnlessClosing(fmt::format("{}adding xml parameter {} with {} failed!", "===> ", s.key(), value));
}

// Why a file that is there could not be used, for the log.
std::string damageOf(const pugi::xml_parse_result& loaded) {
    if (!loaded) {
        if (loaded.status == pugi::status_io_error) return loaded.description();
        return fmt::format("{} at byte {}", loaded.description(), loaded.offset);
    }
    return "it holds no <parameters> element";
}

// What a load of the file found. The one rule of what is damaged, for the
// read at start-up and for every save alike: a file that is there but cannot
// be opened, does not parse, or parses without a <parameters> element.
enum class FileFound : std::uint8_t { missing, usable, damaged };

struct LoadedParameters {
    FileFound found = FileFound::missing;
    std::string damage{};  // why a damaged file cannot be used, for the log
};

LoadedParameters loadParameters(pugi::xml_document& doc, const fs::path& file) {
    const pugi::xml_parse_result loaded = loadXmlFile(doc, file);
    if (loaded.status == pugi::status_file_not_found) {
        // Not opened is not missing: a file that is there is never taken
        // for a missing one and written over.
        std::error_code error;
        if (!fs::exists(file, error) && !error) return {.found = FileFound::missing};
        return {.found = FileFound::damaged, .damage = "it could not be opened"};
    }
    if (!loaded || !parametersOf(doc)) return {.found = FileFound::damaged, .damage = damageOf(loaded)};
    return {.found = FileFound::usable};
}

// A damaged file is kept as its first generation, so nothing is lost
// unseen. Says where it went, or why it could not be kept: the line must not
// promise a copy that is not there, and a file that could not be kept is not
// written over.
struct KeptDamaged {
    bool kept = false;
    std::string text;
};

KeptDamaged keepDamaged(const fs::path& file) {
    const std::optional<fs::path> kept = generationName(file, 1);
    if (!kept) return {.text = "could not be kept (its name has no '.')"};
    std::error_code error;
    fs::copy_file(file, *kept, fs::copy_options::overwrite_existing, error);
    if (error) return {.text = fmt::format("could not be kept as {} ({})", gf_pathToUtf8(*kept), error.message())};
    return {.kept = true, .text = fmt::format("kept as {}", gf_pathToUtf8(*kept))};
}

// What follows when a damaged file could not be kept: the file stays as it
// is, and the settings live in memory only until it is mended or removed.
constexpr std::string_view kLeftAsItIs = "it is left as it is and no setting is saved until it is mended or removed";

// The saves refused over a damaged file that could not be kept. A user
// changes settings often, and each change is a save: the first refusal of a
// spell is said in full, the later ones are only counted, and the count is
// said once, when the spell ends (a save goes through again, the next run
// reads the file, or the program ends).
// Lock order: a leaf; taken under the file's lock or alone, never while
// logging.
class RefusedSaves {
public:
    // True when this refusal starts a spell and is to be said in full.
    bool refuse() {
        const std::scoped_lock lock(mutex_);
        if (!inSpell_) {
            inSpell_ = true;
            return true;
        }
        ++counted_;
        return false;
    }
    // Ends the spell; the refusals only counted in it.
    std::uint64_t end() {
        const std::scoped_lock lock(mutex_);
        inSpell_ = false;
        return std::exchange(counted_, 0);
    }

private:
    std::mutex mutex_;
    bool inSpell_ = false;
    std::uint64_t counted_ = 0;
};

RefusedSaves& refusedSaves() {
    static RefusedSaves refused;
    return refused;
}

constexpr std::string_view kOnlyCounted = "further refused saves are only counted";

void sayRefusedCount() {
    const std::uint64_t counted = refusedSaves().end();
    if (counted == 0) return;
    gf_logAttention(fmt::format("{} more {} of settings {} refused while {} was damaged and could not be kept", counted,
                                counted == 1 ? "save" : "saves", counted == 1 ? "was" : "were",
                                gf_pathToUtf8(parametersFile())));
}

// The words of a write over a damaged file, said where it is kept or refused.
struct OverDamaged {
    std::string_view then;          // what the write does once the file is kept
    std::string_view refused = "";  // added to the line of a refusal
};

// Whether a write may go ahead over what the load found. A damaged file is
// first kept as its first generation; one that could not be kept refuses the
// write. A write that goes ahead ends a spell of refusals. Caller holds the
// file's lock.
bool admitWrite(const LoadedParameters& loaded, const fs::path& file, const OverDamaged& words) {
    if (loaded.found != FileFound::damaged) {
        sayRefusedCount();
        return true;
    }
    const KeptDamaged kept = keepDamaged(file);
    if (!kept.kept) {
        if (refusedSaves().refuse()) {
            gf_logAttention(fmt::format("{} is damaged ({}), {}; {}{}; {}", gf_pathToUtf8(file), loaded.damage,
                                        kept.text, kLeftAsItIs, words.refused, kOnlyCounted));
        }
        return false;
    }
    sayRefusedCount();
    gf_logAttention(
        fmt::format("{} is damaged ({}), {}; {}", gf_pathToUtf8(file), loaded.damage, kept.text, words.then));
    return true;
}

void saveDocument(pugi::xml_document& doc, const fs::path& file) {
    if (!gf_saveXmlDocument(doc, file)) gf_logAttention(fmt::format("saving: {} failed", gf_pathToUtf8(file)));
}

// Whole-file write, caller holds the lock. The listing shows the current
// values, also when the file gets the defaults.
void saveAll(StoredValues values) {
    const bool defaults = values == StoredValues::defaults;
    const fs::path file = parametersFile();
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("root");
    if (defaults) PROGRAM_VERSION.setDefault(gf_versionToString(programVersion()));
    pugi::xml_node parameters = root.append_child("parameters");
    if (parameters) {
        auto writeBool = [&](const BoolParameter& s) {
            const bool v = defaults ? s.defaultValue() : s.value();
            if (!gf_appendBoolParameterXml(parameters, s.key(), v)) logAppendFailure(s, boolText(s.value()));
            logBool(s);
        };
        auto writeInt = [&](const RangeParameter& s) {
            const auto v = defaults ? s.defaultValue() : s.value();
            if (!gf_appendIntParameterXml(parameters, s.key(), v)) logAppendFailure(s, std::to_string(s.value()));
            gf_logIntParameter(s);
        };
        auto writeString = [&](const StringParameter& s) {
            const auto v = defaults ? s.defaultValue() : s.value();
            if (!gf_appendStringParameterXml(parameters, s.key(), v)) logAppendFailure(s, s.value());
            gf_logStringParameter(s);
        };

        for (BoolParameter* s : boolParameters) writeBool(*s);
        for (BoolControlParameter* s : boolControlParameters) writeBool(*s);
        for (RangeParameter* s : rangeParameters) writeInt(*s);
        for (RangeControlParameter* s : rangeControlParameters) writeInt(*s);
        for (StringParameter* s : stringParameters) writeString(*s);
        for (StringControlParameter* s : shownStringParameters) writeString(*s);
        saveDocument(doc, file);
    }
    gf_logUnlessClosing(gf_starBanner({.width1 = kBannerWidth1, .width2 = kBannerWidth2}));
}

// Saves of single settings into the file, read once and written once: the
// one save of a setting changed by hand, or those handed over together.
// Written through `files` when given, else straight to the disk.
void saveSome(const std::vector<ParameterSave>& saves, FileLayer* files) {
    ParametersLock lock;
    std::vector<const ParameterSave*> due;
    for (const ParameterSave& save : saves) {
        if (!save.current || save.current() == save.value) due.push_back(&save);
    }
    if (due.empty()) return;
    const fs::path file = parametersFile();
    pugi::xml_document doc;
    const LoadedParameters loaded = loadParameters(doc, file);
    if (loaded.found != FileFound::usable) {
        // Writing these settings alone would lose every other: a damaged
        // file is kept as its first generation (or left as it is, when it
        // cannot be), and the whole file is written from the current values.
        if (loaded.found == FileFound::missing) {
            gf_logAttention(
                fmt::format("{} not found; writing it anew from the current settings", gf_pathToUtf8(file)));
        }
        if (!admitWrite(loaded, file, {.then = "writing it anew from the current settings"})) return;
        saveAll(StoredValues::current);
        for (const ParameterSave* save : due) gf_logUnlessClosing(save->logLine);
        return;
    }
    sayRefusedCount();  // the file is usable: a spell of refused saves has ended
    const bool hasRoot = static_cast<bool>(doc.child("root"));
    pugi::xml_node parameters = parametersOf(doc);
    for (const ParameterSave* save : due) {
        bool matched = false;
        for (pugi::xml_node p : parameters.children("parameter")) {
            if (save->key != p.attribute("name").as_string()) continue;
            gf_setOrAppendAttribute(p, "value", save->value);
            matched = true;
        }
        if (!matched) gf_appendStringParameterXml(parameters, save->key, save->value);
        gf_logUnlessClosing(save->logLine);
    }
    if (!hasRoot) {
        gf_addParametersRootLevel();
        return;
    }
    if (files == nullptr) {
        saveDocument(doc, file);
        return;
    }
    const std::optional<std::string> bytes = xmlDocumentText(doc);
    if (!bytes || files->replaceFile(file, *bytes)) {
        gf_logAttention(fmt::format("saving: {} failed", gf_pathToUtf8(file)));
    }
}

void saveOne(const Parameter& setting, const std::string& value, const std::string& logLine) {
    saveSome({ParameterSave{.key = setting.key(), .value = value, .logLine = logLine, .current = {}}}, nullptr);
}

}  // namespace

bool holdsParameters(const pugi::xml_node& document) { return static_cast<bool>(parametersOf(document)); }

bool gf_appendBoolParameterXml(pugi::xml_node parameters, std::string_view key, bool value) {
    return gf_appendStringParameterXml(parameters, key, boolText(value));
}

bool gf_appendIntParameterXml(pugi::xml_node parameters, std::string_view key, std::int32_t value) {
    return gf_appendStringParameterXml(parameters, key, std::to_string(value));
}

bool gf_appendStringParameterXml(pugi::xml_node parameters, std::string_view key, std::string_view value) {
    pugi::xml_node p = parameters.append_child("parameter");
    return p && gf_appendAttribute(p, "name", key) && gf_appendAttribute(p, "value", value);
}

std::optional<bool> gf_readBoolParameterXml(const pugi::xml_node& document, std::string_view key) {
    const pugi::xml_node p = firstParameter(document, key);
    if (!p) return std::nullopt;
    return p.attribute("value").as_bool(false);
}

std::optional<std::int32_t> gf_readIntParameterXml(const pugi::xml_node& document, std::string_view key) {
    const pugi::xml_node p = firstParameter(document, key);
    if (!p) return std::nullopt;
    return p.attribute("value").as_int(0);
}

std::optional<std::string> gf_readStringParameterXml(const pugi::xml_node& document, std::string_view key) {
    const pugi::xml_node p = firstParameter(document, key);
    if (!p) return std::nullopt;
    return std::string(p.attribute("value").as_string());
}

void gf_logIntParameter(const RangeParameter& s) { gf_logUnlessClosing(fmt::format("{}={}", s.key(), s.value())); }

void gf_logStringParameter(const StringParameter& s) {
    gf_logUnlessClosing(fmt::format("{}=\"{}\"", s.key(), s.value()));
}

namespace {

// Each setting takes its stored value; one that is missing takes its default
// and is appended to the document, so that the file lists every setting.
void readBoolSetting(const pugi::xml_document& doc, pugi::xml_node parameters, BoolParameter& s) {
    if (auto v = gf_readBoolParameterXml(doc, s.key())) {
        s.set(*v);
    } else {
        s.set(s.defaultValue());
        gf_appendBoolParameterXml(parameters, s.key(), s.value());
    }
    logBool(s);
}

void readIntSetting(const pugi::xml_document& doc, pugi::xml_node parameters, RangeParameter& s) {
    if (auto v = gf_readIntParameterXml(doc, s.key())) {
        s.set(s.clamp(*v));
    } else {
        s.set(s.defaultValue());
        gf_appendIntParameterXml(parameters, s.key(), s.value());
    }
    gf_logIntParameter(s);
}

void readStringSetting(const pugi::xml_document& doc, pugi::xml_node parameters, StringParameter& s) {
    if (auto v = gf_readStringParameterXml(doc, s.key())) {
        s.set(*v);
    } else {
        s.set(s.defaultValue());
        gf_appendStringParameterXml(parameters, s.key(), s.value());
    }
    gf_logStringParameter(s);
}

// In the registries' order.
void readAllSettings(const pugi::xml_document& doc, pugi::xml_node parameters) {
    for (BoolParameter* s : boolParameters) readBoolSetting(doc, parameters, *s);
    for (BoolControlParameter* s : boolControlParameters) readBoolSetting(doc, parameters, *s);
    for (RangeParameter* s : rangeParameters) readIntSetting(doc, parameters, *s);
    for (RangeControlParameter* s : rangeControlParameters) readIntSetting(doc, parameters, *s);
    for (StringParameter* s : stringParameters) readStringSetting(doc, parameters, *s);
    for (StringControlParameter* s : shownStringParameters) readStringSetting(doc, parameters, *s);
}

}  // namespace

bool gf_readParameters() {
    ParametersLock lock;
    const fs::path file = parametersFile();
    // A run begins: the saves the last one refused are counted in the log
    // before this run says anything of the file.
    sayRefusedCount();
    gf_logUnlessClosing(
        gf_starBanner({.width1 = kBannerWidth1, .width2 = 0, .leadingNewline = true, .title = "parameters"}));

    pugi::xml_document doc;
    const LoadedParameters loaded = loadParameters(doc, file);
    if (loaded.found != FileFound::usable) {
        if (loaded.found == FileFound::missing) {
            gf_logUnlessClosing(fmt::format("{} not found, creating new with default values:", gf_pathToUtf8(file)));
        }
        if (!admitWrite(loaded, file,
                        {.then = "creating new with default values:", .refused = "; the default values are in use"})) {
            return true;
        }
        saveAll(StoredValues::defaults);
        return true;
    }
    gf_logUnlessClosing(fmt::format("from '{}'", gf_pathToUtf8(file)));
    readAllSettings(doc, parametersOf(doc));
    gf_saveXmlDocument(doc, file);  // the program's own layout; a failure changes nothing read
    gf_logUnlessClosing(gf_starBanner({.width1 = kBannerWidth1, .width2 = kBannerWidth2}));
    return false;
}

void gf_saveAllParameters(StoredValues values) {
    ParametersLock lock;
    const fs::path file = parametersFile();
    pugi::xml_document doc;
    const std::string_view then = values == StoredValues::defaults ? "writing it anew with default values"
                                                                   : "writing it anew from the current settings";
    if (!admitWrite(loadParameters(doc, file), file, {.then = then})) return;
    saveAll(values);
}

// The file is replaced through a rename, never removed first: a write that
// fails then leaves the settings the file held.
void gf_addParametersRootLevel() {
    ParametersLock lock;
    gf_log("\nPlacing a root level around a new parameters.xml to make it 100% xml compliance\n");
    gf_saveAllParameters(StoredValues::current);
}

void logRefusedParameterSaves() { sayRefusedCount(); }

void gf_saveStringParameter(const StringParameter& setting) {
    const std::string value = setting.value();
    saveOne(setting, value, fmt::format("{}=\"{}\"", setting.key(), value));
}

void gf_saveBoolParameter(const BoolParameter& setting) {
    const std::string value = boolText(setting.value());
    saveOne(setting, value, fmt::format("{}={}", setting.key(), value));
}

void gf_saveIntParameter(const RangeParameter& setting) {
    const std::string value = std::to_string(setting.value());
    saveOne(setting, value, fmt::format("{}={}", setting.key(), value));
}

void gf_setStringParameter(StringParameter& setting, std::string text) {
    setting.set(std::move(text));
    gf_saveStringParameter(setting);
}

ParameterSave boolParameterSave(const BoolParameter& setting) {
    const std::string value = boolText(setting.value());
    return {.key = setting.key(),
            .value = value,
            .logLine = fmt::format("{}={}", setting.key(), value),
            .current = [&setting] { return boolText(setting.value()); }};
}

ParameterSave intParameterSave(const RangeParameter& setting) {
    const std::string value = std::to_string(setting.value());
    return {.key = setting.key(),
            .value = value,
            .logLine = fmt::format("{}={}", setting.key(), value),
            .current = [&setting] { return std::to_string(setting.value()); }};
}

ParameterSaves::ParameterSaves(std::shared_ptr<FileLayer> files) : writer_(std::move(files)) {}

void ParameterSaves::hand(std::vector<ParameterSave> saves) {
    if (saves.empty()) return;
    auto handed = std::make_shared<const std::vector<ParameterSave>>(std::move(saves));
    const std::scoped_lock lock(mutex_);
    writer_.perform(parametersFile(), [handed](FileLayer& files) {
        saveSome(*handed, &files);
        return std::error_code{};
    });
    // Each save logs its own outcome.
    static_cast<void>(writer_.takeDone());
}

bool ParameterSaves::finish(std::chrono::milliseconds bound) {
    const std::scoped_lock lock(mutex_);
    return writer_.close(bound);
}

bool ParameterSaves::drain(std::chrono::milliseconds bound) {
    const std::scoped_lock lock(mutex_);
    return writer_.drain(bound);
}

ParameterSaves& parameterSaves() {
    static ParameterSaves saves{std::make_shared<DiskFileLayer>()};
    return saves;
}

namespace {

// Compares the stored program version with the running one and performs the
// upgrade steps; true when the stored version is too old to keep the file.
bool lf_upgradeParameters() {
    ParametersLock lock;
    const VersionRecord running = programVersion();
    const std::string runningText = gf_versionToString(running);
    // A stray blank or line break around the stored text must not turn a good
    // version into 0.0.0, which would delete the data files and the settings.
    const std::string storedText = lf_trimCopy(PROGRAM_VERSION.value());

    if (storedText == lf_trimCopy(PROGRAM_VERSION.defaultValue())) {
        PROGRAM_VERSION.set(runningText);
        gf_saveStringParameter(PROGRAM_VERSION);
        return false;
    }
    const VersionRecord stored = gf_parseVersion(storedText);
    if (stored != running) {
        PROGRAM_VERSION.set(runningText);
        gf_saveStringParameter(PROGRAM_VERSION);
    }
    if (!(running > stored)) return false;

    gf_log(fmt::format("This is a version update from {} -> {}", gf_versionToString(stored), runningText));
    if (stored < VersionRecord{12, 0, 0}) {
        fs::remove(kAirportsEnc);
        fs::remove(kAigRegcodesEnc);
        fs::remove(kDbaseEnc);
    }
    if (stored < VersionRecord{11, 0, 2}) return true;
    fs::remove_all(kNewVersionFolder);
    return false;
}

}  // namespace

void gf_initParameters() {
    ParametersLock lock;
    if (gf_readParameters()) {
        SCAN_LIVERIES.set(true);
        gf_saveBoolParameter(SCAN_LIVERIES);
        SCAN_AIRPORTS.set(true);
        gf_saveBoolParameter(SCAN_AIRPORTS);
        return;
    }
    if (lf_upgradeParameters()) {
        gf_log("\nYour previous version was too old to convert the old text box parameters to the newdropbox values.");
        gf_log(fmt::format("{} re-starts with default parameter values ...\n", kProductName));
        fs::remove(parametersFile());
        saveAll(StoredValues::defaults);
    }
}

}  // namespace qvl
