// The steps of other parts that the start of a run calls (start_up.cpp), one
// method each. The program forwards each to the folder that owns the work;
// tests record them. All are called on the run thread.
#pragma once

#include <optional>
#include <string>

#include "core/fixed_code.h"
#include "core/geodesy.h"
#include "simlink/sim_version.h"

namespace qvl {

class StartUpSteps {
public:
    virtual ~StartUpSteps() = default;

    virtual void initParameters() = 0;
    // The simulator this run works with, as SIM_CHOICE names it at its start:
    // the link checks the answering simulator against it and the scans take
    // its folders.
    virtual void chooseSimulator(SimVersion version) = 0;
    // The version check; false when the run must not go on (a newer program
    // was installed).
    virtual bool checkVersions() = 0;
    virtual bool readDbase() = 0;
    virtual bool readAirports() = 0;
    // Finds the simulator's packages folder when no install path is set.
    virtual bool detectMsfs() = 0;
    // The traffic client runs on this PC (its files were found).
    virtual void setRealTrafficLocal(bool local) = 0;
    virtual void scanLiveries() = 0;
    virtual void processScannedLiveries() = 0;
    virtual void scanAirports() = 0;
    virtual void createFlightPlanFolder() = 0;
    virtual void readMyParkAirports() = 0;
    // The airport of the airport list with the code; none when unknown.
    virtual std::optional<GeoPosition> airportPosition(const FixedCode4& code) = 0;
    virtual void setDestination(const std::string& text, const GeoPosition& position) = 0;
};

}  // namespace qvl
