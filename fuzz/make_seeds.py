#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

A few small, real-looking inputs per target, kept in the tree so that every
run starts from the same ground. The encrypted seeds need our encryptor:
    python3 fuzz/make_seeds.py [path/to/qvl_encryptor]
Without it the committed .enc seeds are left as they are.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def seed(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def traffic_line(**changes):
    fields = ("QVL,4490501,48.12,16.60,5000,-640,1000,290.0,180,QVA123,A320,OE-QVA,HAM,VIE,"
              "1767225600.00,,,adsb_icao,,,200,,,10,,291.5,,,A3,").split(",")
    for index, value in changes.items():
        fields[int(index[1:])] = value
    return ",".join(fields)


def traffic_datagram():
    t = "traffic_datagram"
    seed(t, "airborne", traffic_line())
    seed(t, "ground_at_park", traffic_line(f4="0", f8="12", f2="48.1103", f3="16.5697", f17="adsb_other"))
    seed(t, "climbing_no_tas", traffic_line(f4="9000", f20="-1", f23="-1.0", f9="null"))
    seed(t, "vehicle", traffic_line(f10="VEH", f0=" VEH"))
    seed(t, "placeholder", traffic_line(f9="ERARMTR1", f11="null", f12="null", f13="null"))
    seed(t, "short", "QVL,4490501,48.12,16.60,5000")


def qnh_datagram():
    t = "qnh_datagram"
    seed(t, "hpa", '{"QNH": 1016}')
    seed(t, "inches", '{"QNH": 2992}')
    seed(t, "text", '{"QNH": "1013hPa"}')
    seed(t, "float", '{"QNH": 1012.5}')
    seed(t, "missing", '{"qnh": null, "wind": [1, 2]}')


def rt_version_reply():
    t = "rt_version_reply"
    seed(t, "prof", '{"level": 2, "version": "10.0.1"}\r\n')
    seed(t, "standard", '  {"level":1,"version":"9.1.0"}')
    seed(t, "nested", '{"version": "10.0.1", "extra": {"a": [1, "}"]}, "level": 2.0}garbage')
    seed(t, "escaped", '{"version": "10.\\"0\\\\", "level": null}')
    seed(t, "not_json", "RealTraffic 10.0.1\r\n")


def parameters_xml():
    t = "parameters_xml"
    seed(t, "current", """<?xml version="1.0"?>
<root>
\t<parameters>
\t\t<parameter name="PROGRAM_VERSION" value="12.2.0" />
\t\t<parameter name="RANGE" value="40" />
\t\t<parameter name="AIRBORNE_ONLY" value="true" />
\t\t<parameter name="PORT_NUMBER" value="10747" />
\t\t<parameter name="SIM_CHOICE" value="MSFS 2024" />
\t\t<parameter name="MAX_FIT_FL" value="1065353216" />
\t\t<parameter name="DESTINATION" value="EDDF &amp; &quot;LOWW&quot;" />
\t</parameters>
</root>
""")
    seed(t, "old_version", """<root><parameters>
<parameter name="PROGRAM_VERSION" value=" 11.0.1 "/>
<parameter name="RANGE" value="9999999"/>
<parameter name="MAIN_WINDOW_X" value="-5"/>
</parameters></root>""")
    seed(t, "no_root", """<parameters><parameter name="WEEK" value="1"/><parameter name="lfolder0" value="C:\\Liveries"/></parameters>""")
    seed(t, "broken", "<root><parameters><parameter name=\"RANGE\" value=\"40\"")
    seed(t, "utf16", '\ufeff<root><parameters><parameter name="BLOCK_CALLSIGN" value="DLH\u00e44"/></parameters></root>'
         .encode("utf-16-le"))


def text_file():
    t = "text_file"
    seed(t, "utf8_bom", b"\xef\xbb\xbfD-AINA\r\nOE-LBC\r\n\xc3\xa4rger\n")
    seed(t, "utf8", "EHAM\nLOWW\r\n\nZ\u00fcrich")
    seed(t, "ansi", b"Caf\xe9 M\xfcller\r\n\x80uro \x81\x8d\n")
    seed(t, "utf16le_bom", "\ufeffLiveries\r\nFlyTampa \u00e9\r\n".encode("utf-16-le"))
    seed(t, "utf16be_nobom", "EDDF\nKJFK\n".encode("utf-16-be"))
    seed(t, "odd_utf16", b"\xff\xfeA\x00\x00\xd8B")


def version_text():
    t = "version_text"
    seed(t, "dotted", "12.2.0")
    seed(t, "json", '{"major": 12, "minor": 2, "patch": 1}')
    seed(t, "json_spaced", '  {"patch": 0, "minor": 10, "major": 11}\n')
    seed(t, "too_big", "4294967298.1.0")
    seed(t, "negative", '{"major": -1, "minor": 0, "patch": 7}')


def versions_json():
    t = "versions_json"
    seed(t, "current", '{"msfs_app": {"major": 1, "minor": 2, "patch": 3}, "dbase": {"major": 1, "minor": 0, "patch": 0}}')
    seed(t, "bad_keys", '{"aig": {"major": "1", "minor": 2.5, "patch": -1}, "x": []}')
    seed(t, "broken", "[1, 2, 3")


def half_hour_slots():
    t = "half_hour_slots"
    seed(t, "range", "8:11")
    seed(t, "list", "3,4,17,47")
    seed(t, "single", " 7 ")
    seed(t, "descending", "30:2")
    seed(t, "bad_entries", "1,,x,48,5 ")


def dbase_xml():
    t = "dbase_xml"
    seed(t, "small", """<?xml version="1.0" encoding="UTF-8"?>
<root>
  <aircrafts><aircraft types="A320,B738"/><aircraft types="A20N, E190"/></aircrafts>
  <cargo_types><cargo_type types="B77L"/></cargo_types>
  <heavy><hvy types="B77L"/></heavy>
  <large><lar types="A320,B738"/></large>
  <buzjet><bzj types="C56X"/></buzjet>
  <high_performance><hpf types="F16"/></high_performance>
  <rotorcraft><rot types="EC35"/></rotorcraft>
  <similar_types><similar types="A320,A20N"/></similar_types>
  <prefixes><similar types="D-,OE-,HB-"/><similar types="OE-,,PH-"/></prefixes>
  <ICAO_airlines><ICAO codes="DLH,AUA" name="x"/></ICAO_airlines>
  <cargo_operators><ICAO codes="FDX"/></cargo_operators>
  <publishers><pub names="FlyTampa,flytampa"/><pub names="FlyTampa,flytampa"/></publishers>
  <wingspans><wingspan type="A320" meters="35.8"/><wingspan type="XXXX" meters="1"/></wingspans>
  <fixes><fx wro="A32N" cor="A20N"/><fx wro="A32N" cor="A320"/><fx wro="B7" cor="NONE"/></fixes>
  <simaddons20><simaddon20 arpts="EDDF,LOWW"/></simaddons20>
  <simaddons24><simaddon24 arpts="EHAM"/></simaddons24>
  <thirdparties20><thirdpartie20 pub="FlyTampa" arpts="EHAM3,,LOWW2"/></thirdparties20>
  <thirdparties24><thirdpartie24 pub="iniBuilds" arpts="EGLL1"/></thirdparties24>
  <dbase>
    <d r="OE-LBC" a="AUA" m="A320"/>
    <d r="D-AINA" a="DLH" m="A20N" o="AUA" c="true"/>
    <d r="D-AINA" a="DLH" m="A320"/>
    <d r="" a="DLH" m="A320"/>
  </dbase>
</root>
""")
    seed(t, "missing_section", "<root><aircrafts><aircraft types=\"A320\"/></aircrafts></root>")
    seed(t, "empty_section", "<root><aircrafts><aircraft types=\" , \"/></aircrafts></root>")
    seed(t, "no_root", "<?xml version=\"1.0\"?><dbase/>")


def airports_xml():
    t = "airports_xml"
    seed(t, "small", """<?xml version="1.0" encoding="UTF-8"?>
<root>
  <airports>
    <ap c="LOWW" i="VIE" la="48.1103" lo="16.5697" a="600" s="120"/>
    <ap c="EHAM" i="ams" la="52.3086" lo="4.7639" a="-11" s="220"/>
    <ap c="AT03" la="-75.103278" lo="123.35825" a="10725" s="0"/>
    <ap c="KJFK" i="JF" la="40.6398" lo="-73.7789" a="13"/>
    <ap c="EDDF" la="91" lo="8.57" a="364" s="3"/>
    <ap c="LOWI" i="INN" la="47.26" lo="11.34"/>
  </airports>
</root>
""")
    seed(t, "bad_code", '<root><airports><ap c="LOW" la="1" lo="2" a="3" s="0"/></airports></root>')
    seed(t, "no_airports", "<root><aps/></root>")
    seed(t, "numbers", '<root><airports><ap c="ZZZZ" la="1e3" lo="nan" a="inf" s="x"/>'
                       '<ap c="YYYY" la=" 4" lo="0x10" a="1" s="99999999999"/></airports></root>')


def usercfg_opt():
    t = "usercfg_opt"
    seed(t, "quoted", 'Version 1\r\n{Graphics\r\n\tPreset Custom\r\n}\r\nInstalledPackagesPath "packages"\r\n')
    seed(t, "unquoted", "InstalledPackagesPath packages   \n")
    seed(t, "windows_path", 'InstalledPackagesPath "D:\\MSFS\\Packages"\r\n')
    seed(t, "open_quote", 'InstalledPackagesPath "packages\r\n')
    seed(t, "no_key", "{Sound\n\tVolume 0.5\n}\n")


def reply(record_id, body, size=None):
    """One reply block: header (size, version 1, id) and body; size defaults to the block's."""
    block_size = 12 + len(body) if size is None else size
    return struct.pack("<III", block_size, 1, record_id) + body


def framed(*replies):
    return b"".join(struct.pack("<H", len(r)) + r for r in replies)


def sim_dispatch():
    t = "sim_dispatch"
    name = b"KittyHawk".ljust(256, b"\0")
    open_reply = reply(2, name + struct.pack("<IIII", 11, 0, 282174, 999))
    event_sim = reply(4, struct.pack("<III", 0xFFFFFFFF, 201, 1))
    added = reply(5, struct.pack("<IIII", 0xFFFFFFFF, 202, 5, 2))
    removed = reply(5, struct.pack("<IIII", 0xFFFFFFFF, 203, 5, 2))
    frame = reply(7, struct.pack("<IIIff", 0xFFFFFFFF, 0, 0, 30.0, 1.0))
    data = reply(8, struct.pack("<IIIIIII", 1, 0, 1, 0, 1, 1, 2) + struct.pack("<dd", 50.03, 8.56))
    by_type = reply(9, struct.pack("<IIIIIII", 4, 9, 3, 0, 1, 2, 1) + struct.pack("<d", 364.0))
    seed(t, "connect_and_run", framed(open_reply, event_sim, frame, added, data, by_type, removed))
    seed(t, "creation_failed", framed(reply(1, struct.pack("<III", 22, 7, 0)), reply(1, struct.pack("<III", 3, 0, 1))))
    seed(t, "new_flight", framed(reply(6, b"flights\\my.FLT".ljust(260, b"\0") + struct.pack("<I", 0)),
                                 reply(4, struct.pack("<III", 0xFFFFFFFF, 205, 0))))
    seed(t, "lying_sizes", framed(reply(8, struct.pack("<IIIIIII", 1, 0, 1, 0, 1, 1, 2), size=4096),
                                  reply(2, b"Sun.Rise", size=284), reply(3, b"")))
    seed(t, "other_sim", framed(reply(2, b"FS98".ljust(256, b"\0") + struct.pack("<IIII", 1, 2, 3, 4)), event_sim))


def facility_item(item_type, fields, request=2001):
    """One facility-data item: its record after the header, then the fields."""
    return reply(28, struct.pack("<IIIIIII", request, 1, 0, item_type, 0, 0, 1) + fields)


def facility_reply():
    t = "facility_reply"
    airport = facility_item(0, struct.pack("<ddd", 50.03, 8.57, 111.0) + b"Frankfurt Main".ljust(32, b"\0")
                            + struct.pack("<ii", 1, 3))
    def parking(number, kind=8, bias_x=0.0, bias_z=0.0, radius=20.0):
        return facility_item(15, struct.pack("<iiiiIiffff", kind, 0, 0, 0, number, 0, 90.0, radius, bias_x, bias_z))
    pad = facility_item(4, struct.pack("<dddfffii", 50.04, 8.58, 111.0, 180.0, 20.0, 20.0, 1, 2))
    end = reply(29, struct.pack("<I", 2001))
    seed(t, "airport", framed(airport, parking(7), parking(7, bias_x=-100.0, bias_z=50.0), parking(8), pad, end))
    seed(t, "dropped", framed(airport, parking(3, kind=12), parking(4, kind=13), parking(5, radius=0.0), end))
    seed(t, "short_items", framed(airport[:60], parking(1)[:70], pad[:80], reply(1, b""), end[:12]))
    seed(t, "exception", framed(reply(1, struct.pack("<III", 7, 42, 3)), parking(1, kind=0), reply(3, b"")))
    seed(t, "lying_sizes", framed(reply(28, struct.pack("<IIIIIII", 2001, 1, 0, 15, 0, 0, 1), size=4096),
                                  facility_item(15, b"", request=2002), end))


def fltsim_section():
    """The first byte picks the file's model: 0 A320, 1 B738, 2 B77L, 3 C172, 4 EC35, 5 C25C, 6 TBM9."""
    t = "fltsim_section"
    seed(t, "airline", b"\x00[fltsim.0]\r\ntitle = Airbus A320 Lufthansa\r\nicao_airline=DLH\r\nui_variation=x\r\n")
    seed(t, "registration_record", b"\x01[fltsim.1]\ntitle=CityLine\nicao_airline=BAW\natc_id=D-AIZA\n"
                                   b"atc_parking_types=GATE\n")
    seed(t, "private_light", b"\x03[FLTSIM.2]\ntitle=Skyhawk N123 private\natc_id=OE-KAB;old\n")
    seed(t, "heavy_without_airline", b"\x02[fltsim.3]\ntitle=Freighter\natc_id=N77777\natc_parking_types=CARGO\n")
    seed(t, "stub_and_quotes", b"\x05[fltsim.4]\ntitle=\"Generic bizjet-STUB\"\nicao_airline=\"ZZZZ\"\n"
                               b"atc_id=D-IABC,D-IABD\n")
    seed(t, "second_keys", b"\x00[fltsim.5] ; comment\ntitle=Two\nicao_airline=DLHC\n// icao_airline was BAW\n"
                           b"TITLE=Three\n")
    seed(t, "user_aircraft", b"\x00[fltsim.6]\ntitle=FenixA320 house\nicao_airline=RFO\n")


def aircraft_cfg():
    """The whole aircraft.cfg, in any encoding."""
    t = "aircraft_cfg"
    general = "[General]\r\nicao_type_designator=A320\r\n"
    liveries = ("[fltsim.0]\r\ntitle=Airbus A320 Lufthansa\r\nicao_airline=DLH\r\natc_id=D-AIQA\r\n"
                "[FLTSIM.1]\r\ntitle=Airbus A320 Café\r\nicao_airline=BAWX\r\natc_parking_types=GATE\r\n")
    seed(t, "utf8", general + liveries)
    seed(t, "utf8_bom", b"\xEF\xBB\xBF" + (general + liveries).encode("utf-8"))
    seed(t, "utf16le", b"\xFF\xFE" + (general + liveries).encode("utf-16-le"))
    seed(t, "utf16be", b"\xFE\xFF" + (general + liveries).encode("utf-16-be"))
    seed(t, "ansi", (general + liveries).replace("\r\n", "\n").encode("cp1252"))
    seed(t, "base_container", "[General]\nbase_container=..\\Asobo_TBM930\n[fltsim.0]\ntitle=TBM\n"
                              "[fltsim.5] ; old\ntitle=Old TBM\nicao_airline=ZZZZ\n[Other]\ntitle=x\n")
    seed(t, "fix_and_numbers", "icao_type_designator=\"b73h\"\n[fltsim.10000]\ntitle=Fixed\nicao_airline=KLM\n"
                               ";[fltsim.2]\ntitle=Semicolon\n//[fltsim.3]\n[fltsim.10001]\n")
    seed(t, "no_header", "[General]\nicao_type_designator=QQ99\ntitle=Tug\n")


def mtl_file():
    """The first byte picks the type folder: 0 IVAO_A320 (with a plain "texture" folder), 1 IVAO_B738WLfa,
    2 ivao_x-csl IVAO_B77L, 3 IVAO_B73H (a fixed type), 4 IVAO_Q400 (unknown), 5 no IVAO package.
    Every folder holds texture.A and texture.DLH."""
    t = "mtl_file"
    seed(t, "airlines", b"\x00[General]\r\natc_type=Airbus\r\n[fltsim.0]\r\ntitle=A320 DLH Lufthansa\r\n"
                        b"texture=DLH\r\n[fltsim.1]\r\ntitle=\"  A320 ZZZ generic \"\r\ntexture=A\r\n"
                        b"atc_id=D-ABCD\r\n[fltsim.2]\r\ntitle=A320 BAW no key\r\n")
    seed(t, "winglets", b"\x01[fltsim.0]\ntitle=B738W KLM\ntexture=A\n[fltsim.1]\ntitle=B738 KLM\ntexture=dlh\n"
                        b"atc_id=PH-BXA\n[fltsim.2]\ntitle=B738W dlh\ntexture=A\n")
    seed(t, "registrations", b"\x02[fltsim.0]\ntitle=Freighter\ntexture=A\natc_id=G-NOAL\n"
                             b"atc_parking_types=CARGO\n[fltsim.1]\ntitle=City\ntexture=A\natc_id=D-AIZA,D-AIZB\n"
                             b"[fltsim.2]\ntitle=Second\ntexture=A\natc_id=D-AIZA\n//atc_id=x\n")
    seed(t, "numbers", b"\x03[fltsim.1] ; x\ntitle=B738 DLH\ntexture=..\n[fltsim.10001]\ntitle=B738 BAW\n")
    seed(t, "bad_number", b"\x00[fltsim.99999999999]\ntitle=A320 DLH\ntexture=A\n")
    seed(t, "unknown_type", b"\x04[fltsim.0]\ntitle=Q400 DLH\ntexture=A\n")
    seed(t, "outside", b"\x05[fltsim.0]\ntitle=A320 DLH\ntexture=A\n")
    seed(t, "utf16", b"\x00\xff\xfe" + "[fltsim.0]\r\ntitle=A320 DLH \u00e9t\u00e9\r\ntexture=A\r\n".encode("utf-16-le"))


def apf_link():
    """The first byte: bit 0 my_simaddon (else my_thirdparty), bit 1 an airport file beside the link.
    Then the publisher's line, then the link file."""
    t = "apf_link"
    seed(t, "stock", b"\x00My Pub\narchive/stock/ZZZZ.xml\r\n")
    seed(t, "thirdparty", b"\x01 Pub/X \narchive/thirdparty/My%20Pub/ZZZZ.XML   \nsecond line\n")
    seed(t, "no_publisher_folder", b"\x02\narchive/thirdparty/ZZZZ.xml\n")
    seed(t, "not_xml_beside_file", b"\x03Pub\narchive/stock/ZZZZ.xm\n")
    seed(t, "climbing", b"\x00..\narchive/../../secret/ZZZZ.xml\n")
    seed(t, "local_path", b"\x02Pub\nairports\\my_thirdparty2024\\ZZZZ.xml\n")
    seed(t, "mirror", b"\x01\nairports/my_simaddon/sub/ZZZZ.xml\n")


def park_airports():
    """my_park_airports.txt as users write it: codes in any case, stands, bad lines, other charsets."""
    t = "park_airports"
    seed(t, "plain", "EHAM,D4\nEDDF\n")
    seed(t, "bad_lines", "eham,D4\r\nEHAM,D4,x\r\nEDDF,B2\r\nEDDF\r\n  \r\nTOOLONG\r\n,A1\r\nKJFK\r\n")
    seed(t, "utf16", b"\xff\xfe" + " egll , C1 \r\n0a12\r\n".encode("utf-16-le"))
    seed(t, "ansi", b"LFPG,Stand \xe9\nEHAM, \n")


def scanned_liveries():
    """LiveriesScanned.xml, 0x1E, the plain registration-code file, 0x1E, a user's text file."""
    t = "scanned_liveries"
    meta = ('<meta><info name="author" value="Quorvelant"/><info name="version" value="12.2.0"/>'
            '<info name="copyright" value="CC0"/><info name="sim" value="1"/></meta>')
    liveries = ('<?xml version="1.0" encoding="UTF-8"?>\n<root>' + meta + '<liveries>\n'
                '<l a="DLH" o="CLH" m="A320" c="true" t="CityLine A320" r="D-AIZA"/>\n'
                '<l a="DLH" m="A320" t="Lufthansa A320"/>\n'
                '<l a="BAW" m="A319" t="BA A319 with Cityflyer"/>\n'
                '<l a="CFE" m="A319" t="CFE A319 with British"/>\n'
                '<l a="PVT" m="C172" t="Cessna private" r="D-EABC"/>\n'
                '<l a="PVT" m="C182" t="Cessna 182 private" r="D-EABC"/>\n'
                '<l a="ZZZ" m="C25C" t="Generic bizjet"/>\n'
                '<l a="PVT" m="H145" t="Heli" r="D-HABC"/>\n'
                '</liveries></root>\n')
    regcodes = ('<?xml version="1.0" encoding="UTF-8"?>\n<root>' + meta + '<aig>\n'
                '<l t="Lufthansa A320" r="D-AIZB, D-AIZC"/>\n'
                '<l t="CityLine A320" r="D-AIZG" s="true"/>\n'
                '<l t="Not installed" r="D-AIZX"/>\n'
                '<l t="Banned livery"/>\n'
                '</aig></root>\n')
    user = "Lufthansa A320;D-AIZA\nCessna private;D-EABC,D-EABD;#\nBanned two\n"
    seed(t, "all_three", "\x1e".join((liveries, regcodes, user)))
    seed(t, "liveries_only", liveries)
    seed(t, "without_user_file", "\x1e".join((liveries, regcodes)))
    seed(t, "broken_regcodes", "\x1e".join((liveries, "<root><aig><l t=", "x;y;z;w\nshort\n")))
    seed(t, "no_liveries", "<root><liveries/></root>\x1e" + regcodes)


def data_reply(kind, object_id, data):
    """One reply of sim_data_replies: kind, 2-byte length, object id and data block."""
    body = struct.pack("<I", object_id) + data
    return struct.pack("<BH", kind, len(body)) + body


def in_range(above_ground, ground_altitude, on_ground, atc_id):
    return struct.pack("<ddq", above_ground, ground_altitude, on_ground) + atc_id.ljust(32, b"\0")


def user_block(lat, lon, alt, time=43200, day=32, year=2026):
    return struct.pack("<8d4q", lat, lon, 0.01, 0.0, 1.5, alt, 0.0, 0.0, time, day, year, 0)


def sim_data_replies():
    """Kinds: 0 static values, 1 title, 2 model, 3 on ground, 4 user block, 5 aircraft in range,
    6 object added, 7 another request (first data byte picks it). The first byte: bit 0 "prof"."""
    t = "sim_data_replies"
    seed(t, "user_aircraft", b"\x01" + data_reply(4, 1, user_block(50.03, 8.56, -12.0))
         + data_reply(3, 1, struct.pack("<q", 1)) + data_reply(1, 1, b"Airbus A320 Neo Asobo with a long title of sixty".ljust(64, b"\0"))
         + data_reply(2, 1, b"$$:A320".ljust(32, b"\0")) + data_reply(4, 1, user_block(50.5, 8.56, 300.0)))
    seed(t, "models", b"\x00" + data_reply(1, 1, b"Aerosoft A321 CFM\0") + data_reply(2, 1, b"A321neo\0")
         + data_reply(2, 1, b"ATCCOM.AC_MODEL A320.0.text\0") + data_reply(2, 1, b"\0")
         + data_reply(2, 1, b"camerapod\0") + data_reply(1, 1, b"DG 737-800\0") + data_reply(2, 1, b"737\0"))
    seed(t, "creations", b"\x00" + data_reply(6, 20, b"") + data_reply(6, 21, b"") + data_reply(6, 22, b"")
         + data_reply(6, 23, b"")
         + data_reply(5, 20, in_range(3.0, 364.0, 1, b"DLH4AB")) + data_reply(5, 21, in_range(0.0, 364.0, 1, b"STAT1*"))
         + data_reply(5, 22, in_range(0.0, 364.0, 1, b"LOST1")) + data_reply(5, 23, in_range(0.0, 364.0, 1, b"AS-GEN"))
         + data_reply(0, 20, struct.pack("<dd", 8.5, 0.02)))
    seed(t, "ground_data", b"\x00" + data_reply(5, 30, in_range(12.0, 364.0, 1, b"RYR12"))
         + data_reply(5, 31, in_range(3000.0, 364.0, 0, b"HIGH1")) + data_reply(5, 32, in_range(0.0, 364.0, 0, b"GEN*"))
         + data_reply(5, 1, in_range(0.0, 364.0, 1, b"USER")) + data_reply(7, 33, b"\x01" + in_range(0.0, 0.0, 1, b"X")))
    seed(t, "prof_time", b"\x01" + data_reply(4, 1, user_block(50.03, 8.56, 100.0, 86399, 366, 2028)))


def object_event(object_id, hex_id, kind, value1=0.0, value2=0.0):
    return struct.pack("<IIIdd", object_id, hex_id, kind, value1, value2)


def object_events():
    """28-byte events: object id, hex id, kind, two values. The engine holds live aircraft
    0x3c6586 and 0x3c6587 waiting for objects, 0x4ca1d3 (object 20, flaring), 0x4ca1d4
    (object 21, parked), 0x4ca1d5 (object 22, waiting for a new livery); static 17 waiting,
    18 (object 30) standing."""
    t = "object_events"
    nan = float("nan")
    inf = float("inf")
    seed(t, "created", object_event(40, 0x3c6586, 0, 0.0, 1200.0) + object_event(41, 0x3c6587, 0, 0.0, 0.0)
         + object_event(42, 17, 1) + object_event(40, 0, 4, 9.5, 0.03))
    seed(t, "touchdown", object_event(20, 1, 3, 364.0, 2.0) + object_event(20, 1, 3, 364.0, 0.0))
    seed(t, "not_numbers", object_event(20, 1, 3, nan, inf) + object_event(21, 0, 3, -inf, nan)
         + object_event(20, 0, 4, nan, inf) + object_event(21, 0, 4, 1e308, -1e308))
    seed(t, "removed_and_failed", object_event(22, 0, 2) + object_event(21, 0, 2) + object_event(30, 0, 2)
         + object_event(0, 0x3c6586, 6) + object_event(0, 17, 6) + object_event(0, 0xFFFFFFFF, 6))
    seed(t, "huge_ids", object_event(0xFFFFFFFF, 0xFFFFFFFF, 0, 0.0, 1e300) + object_event(0xFFFFFFFF, 0xFFFFFFFF, 1)
         + object_event(0xFFFFFFFF, 0x4ca1d3, 5) + object_event(2, 0x3c6586, 0) + object_event(7, 7, 0xFFFFFFFF))


def zip_bytes(entries, compression=zipfile.ZIP_DEFLATED):
    """A real zip archive of (name, bytes) entries, with fixed dates so the seed never changes."""
    import io
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = compression
            archive.writestr(info, data)
    return out.getvalue()


def with_wrong_crc(archive):
    """The archive with its first entry's CRC-32 changed, in the local header and the central directory alike,
    so that only the check of the unpacked bytes finds it."""
    data = bytearray(archive)
    local = data.index(b"PK\x03\x04")
    central = data.index(b"PK\x01\x02")
    for at in (local + 14, central + 16):
        crc = struct.unpack_from("<I", data, at)[0]
        struct.pack_into("<I", data, at, crc ^ 0x00000001)
    return bytes(data)


def zip_reader():
    t = "zip_reader"
    installer = b"MZ" + bytes((i * 7) & 0xFF for i in range(600))
    seed(t, "installer_deflated", zip_bytes([("install_new_version.exe", installer)]))
    seed(t, "installer_stored", zip_bytes([("install_new_version.exe", installer)], zipfile.ZIP_STORED))
    seed(t, "several_entries", zip_bytes([("docs/notes.txt", b"release notes\r\n"), ("../outside.exe", b"x" * 40),
                                          ("install_new_version.exe", installer), ("empty", b"")]))
    seed(t, "no_entries", zip_bytes([]))
    # Unpacking must fail on these: the reader rejects the entry, the target stays as it was.
    seed(t, "installer_wrong_crc_deflated", with_wrong_crc(zip_bytes([("install_new_version.exe", installer)])))
    seed(t, "installer_wrong_crc_stored",
         with_wrong_crc(zip_bytes([("install_new_version.exe", installer)], zipfile.ZIP_STORED)))
    # A few kilobytes that unpack to more than the fuzz target's limit.
    seed(t, "installer_bomb", zip_bytes([("install_new_version.exe", bytes(3 << 20))]))


def enc_file(encryptor):
    t = "enc_file"
    seed(t, "header_only", bytes(range(24)))
    seed(t, "plain_xml", "<root><airports/></root>\n")
    seed(t, "one_chunk_of_junk", bytes((i * 37) & 0xFF for i in range(24 + 17 + 40)))
    if not encryptor:
        return
    with tempfile.TemporaryDirectory() as work:
        for name, plain in (("small", b"<root>\n  <airports/>\n</root>\n"), ("two_chunks", b"A" * 4096 + b"tail")):
            source = os.path.join(work, name + ".bin")
            with open(source, "wb") as f:
                f.write(plain)
            subprocess.run([encryptor, source, os.path.join(CORPUS, t, name + ".enc")], check=True)


def main():
    encryptor = sys.argv[1] if len(sys.argv) > 1 else None
    traffic_datagram()
    qnh_datagram()
    rt_version_reply()
    parameters_xml()
    text_file()
    version_text()
    versions_json()
    half_hour_slots()
    dbase_xml()
    airports_xml()
    usercfg_opt()
    sim_dispatch()
    sim_data_replies()
    facility_reply()
    object_events()
    fltsim_section()
    aircraft_cfg()
    mtl_file()
    apf_link()
    park_airports()
    scanned_liveries()
    zip_reader()
    enc_file(encryptor)


if __name__ == "__main__":
    main()
