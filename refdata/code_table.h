// Code tables: aircraft model codes (ICAO type designators) and airline codes
// (ICAO airline designators, also used for operators) held as 16-bit ids, so
// that a livery key packs airline, second airline, model and cargo flag into
// 64 bits. Id 0 is the empty code once the database has been read. Ids are
// never removed or reused while the process lives.
//
// Interning is called from several threads at once (traffic reader, livery
// scan workers), so each table is guarded by its own reader-writer mutex:
// finding a code that is already there takes the shared side only; the id ->
// code direction takes no lock at all.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "refdata/fnv_hash.h"

namespace qvl {

using CodeId = std::uint16_t;

// The two kinds of code the program interns.
enum class CodeKind : std::uint8_t { model, airline };

// "model", "airline".
std::string_view codeKindName(CodeKind kind) noexcept;

// A new code refused because its table holds kMaxCodes codes already. A
// caller that can do without the code (a livery, a flight) catches this and
// goes on.
class CodeTableFull : public std::runtime_error {
public:
    CodeTableFull(CodeKind kind, std::string_view code);
    [[nodiscard]] CodeKind kind() const noexcept { return kind_; }

private:
    CodeKind kind_;
};

class CodeTable {
public:
    // 16-bit ids: 0 .. 65,535.
    static constexpr std::size_t kMaxCodes = 65536;
    // Room kept for the codes that matter: the livery scan and the stand
    // files intern the codes of installed aircraft, while live traffic may
    // bring any text as a type. Once a table holds kMaxCodes - kInternReserve
    // codes, the traffic reader stops interning codes it does not find, so a
    // stream of junk types cannot fill the table and make later scans fail.
    static constexpr std::size_t kInternReserve = 4096;

    explicit CodeTable(CodeKind kind);
    CodeTable(const CodeTable&) = delete;
    CodeTable& operator=(const CodeTable&) = delete;

    // The code's id, appending the code when it is new. While the table is
    // marked loaded, a code that is not there but has a fix whose target is
    // there gives the target's id and is not appended.
    // A new code when the table already holds kMaxCodes codes throws
    // CodeTableFull "<kind> code table full (65536 codes): '<code>' refused":
    // ids never wrap onto other codes.
    CodeId intern(std::string_view code);

    // The id of a code already present (no fix step, nothing appended).
    [[nodiscard]] std::optional<CodeId> find(std::string_view code) const;

    // The code of an id; the empty text for an id at or beyond the size.
    // The view stays valid for the life of the process (until clear()).
    [[nodiscard]] std::string_view code(std::size_t id) const noexcept;

    [[nodiscard]] std::size_t size() const noexcept { return size_.load(std::memory_order_acquire); }

    // The fix step of intern() applies only while loaded.
    void setLoaded(bool loaded);
    [[nodiscard]] bool loaded() const;

    // Adds wrong -> correct; false (nothing changed) when wrong is already a key.
    bool addFix(std::string_view wrong, std::string_view correct);
    [[nodiscard]] std::optional<std::string> fix(std::string_view wrong) const;
    [[nodiscard]] std::size_t fixCount() const;

    // Empties the table, its fixes and the loaded mark. Only for tests: no
    // other thread may use the table meanwhile, and views handed out before
    // dangle afterwards.
    void clear();

private:
    static constexpr std::size_t kChunkSize = 256;
    using Chunk = std::array<std::string, kChunkSize>;

    std::optional<CodeId> findLocked(std::string_view code) const;
    std::optional<CodeId> findWithFixLocked(std::string_view code) const;
    CodeId appendLocked(std::string_view code);

    const CodeKind kind_;
    // Leaf lock: nothing else is locked while it is held.
    mutable std::shared_mutex mutex_;
    // Texts live in chunks that never move, so index keys and the views that
    // code() hands out stay valid while the table grows. A chunk and its text
    // are written before size_ is raised (release); code() reads size_ first
    // (acquire), so it never sees a slot being written.
    std::array<std::unique_ptr<Chunk>, kMaxCodes / kChunkSize> chunks_;
    std::atomic<std::size_t> size_{0};
    std::unordered_map<std::string_view, CodeId, Fnv1aHash> index_;
    std::map<std::string, std::string, std::less<>> fixes_;
    bool loaded_ = false;
};

// The two program-wide tables.
CodeTable& modelCodes();
CodeTable& airlineCodes();

// Interns an airline (or operator) code; the text is used unchanged.
CodeId gf_airlineId(std::string_view code);
// Interns a model code, with the fix step once the database has been read.
CodeId gf_modelId(std::string_view code);
// The correct code for a wrong one, when the database lists a fix for it.
std::optional<std::string> lf_modelFix(std::string_view code);

// Id -> code; the empty text for an id the table does not hold.
std::string_view modelCodeOf(std::size_t id) noexcept;
std::string_view airlineCodeOf(std::size_t id) noexcept;

}  // namespace qvl
