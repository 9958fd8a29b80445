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
    half_hour_slots()
    dbase_xml()
    airports_xml()
    usercfg_opt()
    sim_dispatch()
    enc_file(encryptor)


if __name__ == "__main__":
    main()
