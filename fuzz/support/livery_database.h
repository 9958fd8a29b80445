// The small reference database the livery fuzz targets read: models of
// every category (one with a fix), airlines with the fictional and private
// ones, registration records with and without airline, one with an operator
// and cargo.
#pragma once

#include <filesystem>

#include "core/paths.h"
#include "refdata/data_file.h"
#include "refdata/dbase.h"
#include "support/fuzz_support.h"

namespace qvl::fuzz {

inline constexpr const char* kLiveryDatabaseText = R"(<?xml version="1.0"?>
<root>
<aircrafts><aircraft types="A320,B738,B77L,C172,EC35,C25C,TBM9"/></aircrafts>
<cargo_types><cargo_type types="B77L"/></cargo_types>
<heavy><hvy types="B77L"/></heavy>
<large><lar types="A320,B738"/></large>
<buzjet><bzj types="C25C"/></buzjet>
<high_performance><hpf types="TBM9"/></high_performance>
<rotorcraft><rot types="EC35"/></rotorcraft>
<ICAO_airlines><ICAO codes="DLH,BAW,KLM,CLH,ZZZ,PVT"/></ICAO_airlines>
<cargo_operators><ICAO codes="BOX"/></cargo_operators>
<simaddons20><simaddon20 arpts="EHAM"/></simaddons20>
<simaddons24><simaddon24 arpts="EHAM"/></simaddons24>
<fixes><fx wro="B73H" cor="B738"/></fixes>
<dbase><d r="D-AIZA" a="DLH" o="CLH" m="A320" c="yes"/><d r="PH-BXA" a="KLM" m="B738"/>
<d r="N123" a="PVT" m="C172"/><d r="D-NOMOD" a="DLH" m=""/><d r="G-NOAL" a="" m="B77L"/></dbase>
</root>
)";

// Writes it encrypted into the scratch folder's input folder and reads it.
inline void readLiveryDatabase(const std::filesystem::path& scratch) {
    const InFolder inScratch(scratch);
    std::filesystem::create_directories(kInputFolder);
    const std::filesystem::path plain = scratch / "dbase.source";
    writeBytes(plain, kLiveryDatabaseText);
    expect(streamEncrypt(plain, kDbaseEnc), "the encryptor writes input/dbase.enc");
    resetDbaseTables();
    expect(gf_readDbase(), "the reference database reads");
}

}  // namespace qvl::fuzz
