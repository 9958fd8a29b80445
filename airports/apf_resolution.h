// Which stand file stands for an airport, and where its learned file lives.
//
// A stand file comes from the user's folder of third-party add-on airports
// (airports/my_thirdparty), of the simulator's own add-ons
// (airports/my_simaddon), from a link file there ("<ICAO>.txt", whose first
// line names a file of the maker's archive), or from the maker's archive of
// stock airports. Archive paths ("archive/stock/EHAM.xml",
// "archive/thirdparty/My%20Pub/EHAM.xml") name files on the maker's download
// site, never local files. Every folder is relative to the working folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/download.h"
#include "core/fixed_code.h"
#include "core/result.h"

namespace qvl {

// The stand file of the airport as a path text: a link file's target as it
// spells it, a local file "airports/...", or the stock archive path; empty
// when the airport has none. A failing existence test (other than a missing
// file) throws std::filesystem::filesystem_error.
std::string gf_apfPathFor(const FixedCode4& icao);

// True when the link file's first line names an archived stand file; the
// target is cleared first.
bool lf_readApfLink(const std::filesystem::path& linkFile, std::string& target);

// The learned file of a stand file, or an empty path. The publisher (the
// stand file's own "publisher") names the learned folder of the user's
// third-party files.
std::filesystem::path lf_archivedApfPath(std::string_view apfPathText, std::string_view publisher);

// The text without leading and trailing blanks (' ' only).
std::string lf_trimBlanks(std::string_view text);

enum class StockApfError : std::uint8_t { notDownloaded };

// Fetches an archived stand file into the target. On failure the target is
// gone and the text says what failed ("failed to download: '...'"). The stop
// ends the download when the program closes: it runs on the run thread.
Result<void, StockApfError> lf_downloadStockApf(std::string_view archivePath, const std::filesystem::path& target,
                                                const DownloadStop& stop);

}  // namespace qvl
