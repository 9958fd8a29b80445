#include "core/files.h"

#include <fmt/format.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "core/log.h"
#include "core/strings.h"
#include "platform/sys/files.h"
#include "platform/sys/process.h"

namespace fs = std::filesystem;

namespace qvl {
namespace {

// One copy step of the generations; a missing source is skipped, failures
// are logged and nothing is thrown.
void lf_copyGeneration(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    const auto status = fs::status(source, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        gf_logAttention(fmt::format("exists({}): {}", source.string(), ec.message()));
        return;
    }
    if (!fs::exists(status)) return;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        gf_logAttention(fmt::format("copy {} -> {} failed: {}", source.string(), target.string(), ec.message()));
    }
}

}  // namespace

std::optional<fs::path> generationName(const fs::path& file, int generation) {
    const std::string name = file.filename().string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    std::string renamed = name;
    renamed.insert(dot, static_cast<std::size_t>(generation < 0 ? 0 : generation), '0');
    return file.parent_path() / renamed;
}

int gf_save1GenerationOf(const fs::path& file) {
    const auto first = generationName(file, 1);
    if (!first) {
        gf_logAttention(fmt::format("gf_save1GenerationOf: no dot in filename: {}", file.string()));
        return 0;
    }
    lf_copyGeneration(file, *first);
    return 1;
}

int gf_saveUpto3GenerationsOf(const fs::path& file) {
    const auto g1 = generationName(file, 1);
    if (!g1) {
        gf_logAttention(fmt::format("gf_saveUpto3GenerationsOf: no dot in filename: {}", file.string()));
        return 0;
    }
    const auto g2 = generationName(file, 2);
    const auto g3 = generationName(file, 3);
    lf_copyGeneration(*g2, *g3);
    lf_copyGeneration(*g1, *g2);
    lf_copyGeneration(file, *g1);
    return 1;
}

std::vector<FixedCode4> gf_listXmlFiles(const fs::path& folder) {
    std::vector<FixedCode4> codes;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return codes;
    codes.reserve(512);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        if (!gf_upperEquals(entry.path().extension().string(), ".XML")) continue;
        const std::string stem = entry.path().stem().string();
        if (stem.size() != 4) continue;
        try {
            codes.emplace_back(stem);
        } catch (const std::invalid_argument& e) {
            gf_logAttention(fmt::format("skipped {}: {}", entry.path().string(), e.what()));
        }
    }
    return codes;
}

namespace {

// The temporary name writeFileAtomically writes to before the rename.
fs::path temporaryNameFor(const fs::path& target) {
    // Unique per process and call, so two writers of one file never share a
    // temporary file; the rename decides which complete version wins.
    static std::atomic<unsigned> counter{0};
    return fs::path(target.string() + fmt::format(".{}.{}.tmp", sys::processId(), counter++));
}

// The test seam of writeFileAtomically's last step.
std::atomic<RenameFunction> renameFunction{&sys::replaceFile};

}  // namespace

void setRenameFunctionForTests(RenameFunction fn) { renameFunction = fn != nullptr ? fn : &sys::replaceFile; }

bool writeFileAtomically(const fs::path& target, std::string_view bytes) {
    const fs::path temporary = temporaryNameFor(target);
    bool ok = sys::writeFileDurably(temporary, bytes);
    if (ok) ok = renameFunction.load()(temporary, target);
    if (!ok) {
        std::error_code ec;
        fs::remove(temporary, ec);
    }
    return ok;
}

std::uint64_t gf_countFilesInFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) return 0;
    std::uint64_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) ++count;
    }
    return count;
}

}  // namespace qvl
