#include "run/window/folder_openers.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <system_error>

#include "core/log.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "platform/sys/ascii.h"
#include "platform/sys/install_rights.h"
#include "platform/ui/window.h"
#include "run/window/shell.h"

namespace qvl {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNeedsAdministrator = "A new version is available. Run the installer as Administrator";
constexpr std::string_view kNoAdministrator =
    "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";

// A warning box over the main window, and the text in the log, so it is
// never lost.
void warnUser(ui::Window& window, const std::string& text) {
    gf_logAttention(text);
    window.showDialog({.caption = std::string(kProductShortName), .text = text, .icon = ui::DialogIcon::Warning});
}

bool openFolderOf(ui::Window& window, const fs::path& file, const std::string& failureText) {
    if (gf_openWithShell(file)) return true;
    warnUser(window, failureText);
    return false;
}

// The components of a path written the Windows way or the Linux way, without
// the empty one a trailing separator leaves.
std::vector<std::string> componentsOf(const fs::path& folder) {
    std::string text = gf_pathToUtf8(folder);
    std::replace(text.begin(), text.end(), '\\', '/');
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        std::string name = text.substr(start, end - start);
        if (name == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!name.empty() && name != ".") {
            parts.push_back(std::move(name));
        }
        start = end + 1;
    }
    return parts;
}

bool sameComponent(std::string_view a, std::string_view b) {
    return a.size() == b.size() && sys::startsWithIgnoringAsciiCase(a, b);
}

// Whether a file can be created in the folder: one byte written, the file
// removed again.
bool folderWritable(const fs::path& folder) {
    const fs::path probe = folder / ".write_test.tmp";
    bool written = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        written = static_cast<bool>(out.put('\0').flush());
    }
    std::error_code error;
    fs::remove(probe, error);
    return written;
}

}  // namespace

bool gf_openParametersFolder(ui::Window& window) {
    return openFolderOf(window, parametersFile(), "Could not open folder with parameters.xml");
}

bool gf_openManual(ui::Window& window) {
    std::error_code error;
    fs::path programFolder = fs::current_path(error);
    return openFolderOf(window, programFolder / kDocsFolder / "Manual.pdf", "Could not open local folder with Manual");
}

bool openTbloZipFolder(ui::Window& window) {
    std::error_code error;
    const fs::path programFolder = fs::current_path(error);
    return openFolderOf(window, programFolder / kTbloFolder / kTbloZip, "Could not open File Explorer at tblo.zip.");
}

InstallRights systemInstallRights() {
    return {.programFilesFolders = sys::programFilesFolders(), .processElevated = &sys::processElevated};
}

bool isInsideFolder(const fs::path& folder, const fs::path& root) {
    const std::vector<std::string> inner = componentsOf(folder);
    const std::vector<std::string> outer = componentsOf(root);
    if (outer.empty() || outer.size() > inner.size()) return false;
    return std::equal(outer.begin(), outer.end(), inner.begin(), sameComponent);
}

std::string gf_checkNewVersionRights(const fs::path& programFolder) {
    return gf_checkNewVersionRights(programFolder, systemInstallRights());
}

std::string gf_checkNewVersionRights(const fs::path& programFolder, const InstallRights& rights) {
    const bool underProgramFiles =
        std::any_of(rights.programFilesFolders.begin(), rights.programFilesFolders.end(),
                    [&](const fs::path& root) { return isInsideFolder(programFolder, root); });
    if (underProgramFiles && !folderWritable(programFolder)) {
        if (!rights.processElevated || !rights.processElevated()) return std::string(kNeedsAdministrator);
    }
    return std::string(kNoAdministrator);
}

}  // namespace qvl
