// Steps of the run whose parts are not built yet. Each stands in for one
// step, does the least the run needs (usually nothing) and logs once per
// process that it is not built yet. The work that builds a step calls its
// real function from program.cpp and deletes the entry here.
#pragma once

#include <string>
#include <string_view>

namespace qvl::pending {

bool checkVersions();
void scanLiveries();
void scanAirports();
void readMyParkAirports();
std::string reservedStandText();
bool checkParkAirports(std::string& text);
void setDestination();
void updateStaticParking();
void adjustParking();
void leaveParkAirport();
void refreshLiveCount();
void showWaitingStaticCount();

}  // namespace qvl::pending
