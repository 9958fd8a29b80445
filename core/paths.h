// The program's folder and file names, defined once. Every path except the
// product folder is relative: it resolves against the working folder, which
// must be the program's own folder.
#pragma once

#include <filesystem>
#include <string_view>

#include "core/version.h"

namespace qvl {

using std::filesystem::path;

inline constexpr std::string_view kProductName = "Quorvelant";
inline constexpr std::string_view kProductShortName = "QVLT";
inline constexpr std::string_view kProgramVersionText = "12.2.0";

inline const path kLogFile{"Log.txt"};

inline const path kInputFolder{"input"};
inline const path kDbaseEncName{"dbase.enc"};
inline const path kAigRegcodesEncName{"AIG-regcodes.enc"};
inline const path kAirportsEncName{"airports.enc"};
inline const path kReleaseNotesName{"ReleaseNotes.pdf"};
inline const path kDbaseEnc = kInputFolder / kDbaseEncName;
inline const path kAigRegcodesEnc = kInputFolder / kAigRegcodesEncName;
inline const path kAirportsEnc = kInputFolder / kAirportsEncName;
inline const path kDbaseXml = kInputFolder / "dbase.xml";
inline const path kAirportsXml = kInputFolder / "airports.xml";
inline const path kAigRegcodesXml = kInputFolder / "AIG-regcodes.xml";
inline const path kMyRegcodesFolder = kInputFolder / "my_regcodes";

inline const path kOutputFolder{"output"};
inline const path kLiveriesScannedXml = kOutputFolder / "LiveriesScanned.xml";
inline const path kInfoFolder = kOutputFolder / "info";
inline const path kObjectIdList = kInfoFolder / "ObjectIdList.txt";
inline const path kErrorsFolder = kOutputFolder / "errors";

inline const path kAirportsFolder{"airports"};
inline const path kLearnedFolder = kAirportsFolder / "learned";
inline const path kLearnedStockFolder = kLearnedFolder / "stock";
inline const path kLearnedSimaddonFolder = kLearnedFolder / "simaddon";
inline const path kLearnedThirdpartyFolder = kLearnedFolder / "thirdparty";
inline const path kMySimaddonFolder = kAirportsFolder / "my_simaddon";
inline const path kMyThirdpartyFolder = kAirportsFolder / "my_thirdparty";
inline const path kMyParkAirportsTxt = kAirportsFolder / "my_park_airports.txt";
// Where an archived stand file of the park airport is fetched to.
inline const path kParkAirportXml = kAirportsFolder / "park_airport.xml";

inline const path kDocsFolder{"docs"};
inline const path kTbloFolder{"tblo"};
inline const path kTbloZip{"tblo.zip"};
inline const path kFsBaseName{"fs-base"};
inline const path kNewVersionFolder{"new_version"};
inline const path kInstallerName{"install_new_version.exe"};
inline const path kInsideSystemsFolder{"InsideSystems"};
inline const path kCommunityName{"Community"};
inline const path kOfficialName{"Official"};
inline const path kOfficial2024Name{"Official2024"};

// The running program version, 12.2.0.
const VersionRecord& programVersion();

// The product folder under the roaming application-data folder, where
// parameters.xml lives. Looked up on first use, so a test can point the
// application-data folder elsewhere first.
path productFolder();
path parametersFile();

}  // namespace qvl
