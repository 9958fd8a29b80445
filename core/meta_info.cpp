#include "core/meta_info.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "core/log.h"
#include "core/paths.h"
#include "core/time_text.h"
#include "core/xml.h"

namespace qvl {
namespace {

bool appendRow(pugi::xml_node meta, std::string_view name, std::string_view value) {
    pugi::xml_node row = meta.append_child("info");
    return row && gf_appendAttribute(row, "name", name) && gf_appendAttribute(row, "value", value);
}

}  // namespace

bool gf_writeMetaInfo(pugi::xml_node document, const MetaInfo& info) {
    pugi::xml_node root = document.child("root");
    if (!root) root = document.append_child("root");
    if (!root) return false;
    pugi::xml_node meta = root.append_child("meta");
    if (!meta) return false;
    bool ok = appendRow(meta, "author", kProductName);
    ok = appendRow(meta, "version", info.version) && ok;
    ok = appendRow(meta, "date", gf_utcDateNow()) && ok;
    ok = appendRow(meta, "copyright", kMetaCopyright) && ok;
    pugi::xml_node sim = meta.append_child("info");
    ok = sim && gf_appendAttribute(sim, "name", "sim") && sim.append_attribute("value").set_value(info.sim) && ok;
    return ok;
}

Result<MetaInfo, MetaRefusal> checkMetaInfo(pugi::xml_node document, SimulatorRow simulatorRow) {
    pugi::xml_node root = document.child("root");
    if (!root) root = document;
    const pugi::xml_node meta = root.child("meta");
    if (!meta) return fail(MetaRefusal::noMeta, "no meta block");

    MetaInfo info;
    bool haveCopyright = false, haveAuthor = false, haveDate = false, haveVersion = false;
    bool haveP3d = false, haveMsfs = false, haveSim = false;
    auto takeText = [](bool& seen, std::string& slot, const pugi::xml_node& row) {
        if (seen) return;
        seen = true;
        slot = row.attribute("value").as_string();
    };
    for (const pugi::xml_node row : meta.children("info")) {
        const char* name = row.attribute("name").as_string();
        if (std::strcmp(name, "copyright") == 0) {
            if (haveCopyright) continue;
            haveCopyright = true;
            info.copyright = row.attribute("value").as_string();
            if (info.copyright.empty()) return fail(MetaRefusal::emptyCopyright, "its meta block's copyright is empty");
        } else if (std::strcmp(name, "author") == 0) {
            takeText(haveAuthor, info.author, row);
        } else if (std::strcmp(name, "date") == 0) {
            takeText(haveDate, info.date, row);
        } else if (std::strcmp(name, "version") == 0) {
            takeText(haveVersion, info.version, row);
        } else if (std::strcmp(name, "P3D") == 0) {
            takeText(haveP3d, info.p3d, row);
        } else if (std::strcmp(name, "MSFS") == 0) {
            takeText(haveMsfs, info.msfs, row);
        } else if (std::strcmp(name, "sim") == 0 && !haveSim) {
            haveSim = true;
            info.sim = row.attribute("value").as_int(0);
        }
    }
    if (!haveCopyright) return fail(MetaRefusal::noCopyright, "its meta block has no copyright row");
    const bool namesSimulator = haveP3d || haveMsfs || haveSim;
    if (simulatorRow == SimulatorRow::required && !namesSimulator) {
        return fail(MetaRefusal::noSimulator, "its meta block names no simulator");
    }
    return info;
}

std::optional<MetaInfo> gf_readMetaInfo(pugi::xml_node document, SimulatorRow simulatorRow) {
    auto checked = checkMetaInfo(document, simulatorRow);
    if (checked) return std::move(*checked);
    if (checked.error() == MetaRefusal::emptyCopyright) gf_logAttention("no copyright info in the file?");
    return std::nullopt;
}

}  // namespace qvl
