#include "refdata/lookups.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "refdata/default_sim_aircraft.h"
#include "refdata/support/program_folder.h"

namespace qvl {
namespace {

class Lookups : public test::ProgramFolder {
protected:
    void SetUp() override {
        ProgramFolder::SetUp();
        writeEncrypted("dbase.enc", test::dbaseXml({
            {"heavy", R"(<hvy types="B77L,A20N"/>)"},  // A20N is large and heavy
            {"publishers", R"(<pub names="ABC Design Studio, abcdesign"/><pub names="Orbx,orbx-"/>)"},
            {"dbase", R"(<d r="D-AIMA" a="DLH" m="A20N"/><d r="DA-IMA" a="KLM" m="B738"/>
                         <d r="D-AIMB" a="DLH" o="CLH" m="B77L" c="1"/><d r="N123AB" a="PVT" m="C172"/>
                         <d r="N123" a="PVT" m="C172"/>)"}}));
        ASSERT_TRUE(gf_readDbase());
    }
    CodeId model(const char* code) { return *modelCodes().find(code); }
    CodeId airline(const char* code) { return *airlineCodes().find(code); }
};

TEST_F(Lookups, CategoriesAreTestedInAFixedOrder) {
    EXPECT_EQ(gf_categoryOfModelId(model("A20N")), AircraftCategory::Large);
    EXPECT_EQ(gf_categoryOfModelId(model("B77L")), AircraftCategory::Heavy);
    EXPECT_EQ(gf_categoryOfModelId(model("C25C")), AircraftCategory::Buzjets);
    EXPECT_EQ(gf_categoryOfModelId(model("TBM9")), AircraftCategory::HighPerf);
    EXPECT_EQ(gf_categoryOfModelId(model("EC35")), AircraftCategory::Rotorcraft);
    EXPECT_EQ(gf_categoryOfModelId(model("C172")), AircraftCategory::Light);
    const std::size_t size = modelCodes().size();
    EXPECT_EQ(gf_categoryOfModel("ZZ99"), AircraftCategory::Light);
    EXPECT_EQ(modelCodes().size(), size + 1) << "the code is interned";
}

TEST_F(Lookups, KnownCodesAreTheListedOnes) {
    EXPECT_TRUE(gf_isKnownModel("B738"));
    EXPECT_FALSE(gf_isKnownModel("C25C")) << "a category member is no listed model";
    EXPECT_FALSE(gf_isKnownModel(""));
    EXPECT_TRUE(gf_isKnownAirline("KLM"));
    EXPECT_FALSE(gf_isKnownAirline("PVT")) << "met only in records";
    EXPECT_FALSE(gf_isKnownAirline(""));
}

TEST_F(Lookups, RegistrationsAreTriedInTheirVariants) {
    EXPECT_EQ(gf_registrationVariants("DAIMA"), (std::vector<std::string>{"DA-IMA", "D-AIMA", "DAIMA"}));
    for (const char* single : {"N12345", "D-AIMA", "G123"}) {
        EXPECT_EQ(gf_registrationVariants(single), std::vector<std::string>{single});
    }
    EXPECT_EQ(gf_findDbaseRecord("DAIMA")->key.airlineId, airline("KLM")) << "DA-IMA comes before D-AIMA";
    const auto found = gf_findDbaseRecord("DAIMB");
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->found);
    EXPECT_EQ(found->key, (DbaseKey{airline("DLH"), airline("CLH"), model("B77L"), 1, 1}));
    EXPECT_TRUE(gf_findDbaseRecord("N123AB"));
    EXPECT_FALSE(gf_findDbaseRecord("daima")) << "no case folding";
    EXPECT_FALSE(gf_findDbaseRecord(""));
    EXPECT_EQ(gf_findShortRegistrationIn("Cessna 172 N123 private"), "N123");
    EXPECT_FALSE(gf_findShortRegistrationIn("Airbus A320neo D-AIMA")) << "only registrations below 6 characters";
}

TEST_F(Lookups, PublishersAreFoundInFolderNames) {
    EXPECT_TRUE(gf_containsNoCase("/any/path", ""));
    EXPECT_TRUE(gf_containsNoCase("/Community/ORBX-airport-eham", "orbx-"));
    EXPECT_EQ(gf_publisherFromPath("/Community/ABCdesign-eham/scenery"), "ABC Design Studio");
    EXPECT_EQ(gf_publisherFromPath("/Community/orbx-egll"), "Orbx");
    EXPECT_FALSE(gf_publisherFromPath("/Community/somebody-else"));
}

TEST_F(Lookups, CodeNumbersBelongToOneAirport) {
    const FixedCode eham("EHAM");
    std::int32_t number = -1;
    EXPECT_TRUE(gf_parseCodeNumber("Pub", eham, number, "EHAM12"));
    EXPECT_EQ(number, 12);
    EXPECT_TRUE(gf_parseCodeNumber("Pub", eham, number, "EHAM7x"));
    EXPECT_EQ(number, 7);
    EXPECT_FALSE(gf_parseCodeNumber("Pub", eham, number, "EGLL3"));
    for (const char* bad : {"EHAM", "EHAMx", "EHAM99999999999"}) {
        EXPECT_TRUE(gf_parseCodeNumber("Pub", eham, number, bad));
        EXPECT_EQ(number, 7) << bad;
    }
    EXPECT_TRUE(logHas("==> Pub EHAM EHAM invalid number"));
}

TEST(DefaultSimAircraft, ExactNamesGiveTheirModels) {
    EXPECT_EQ(defaultSimAircraft().size(), 30u);
    EXPECT_EQ(gf_defaultSimAircraftModel("Asobo_Savage_Cub"), "SAVG");
    EXPECT_EQ(gf_defaultSimAircraftModel("Asobo_Savage_ShockUltra"), "SAVG");
    EXPECT_EQ(gf_defaultSimAircraftModel("FlyByWire_A320_NEO"), "A20N");
    EXPECT_EQ(gf_defaultSimAircraftModel("Asobo_E330"), "E300");
    EXPECT_FALSE(gf_defaultSimAircraftModel("asobo_a320_neo"));
}

}  // namespace
}  // namespace qvl
