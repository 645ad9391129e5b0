#!/usr/bin/env python3
"""Writes a kestrel-sim scenario for scripts/soak: a flight once around the world, eastward through a
band of latitudes, from towered airport to towered airport of a kestrel-scenery CSV (the world library's
bench-data/world.csv).

  soak_flight.py WORLD_CSV SCENARIO_CSV [--seconds N] [--leg-seconds S] [--band SOUTH,NORTH]

The flight takes N seconds of scenario time (default 660) in legs of S seconds (default 5), so it
crosses every regional area of the library whatever its length. Each leg ends at the first towered airport
east of an even step of longitude, and its tower frequency is tuned for the whole leg, on
COM1 or COM2 in turn (the other radio gets the frequency of the leg before): the tower moves both by
the nearest airport and by the tuned one. Altitudes alternate between 900 m (the tower's text is
shown) and 4500 m (no text), and the simulator is paused for one leg in every 25.
"""

import bisect
import csv
import sys


def tower_frequency(field):
    """The first frequency the record gives as a tower frequency (no type, or type 6), else None."""
    for item in filter(None, (field or "").split(";")):
        mhz, _, kind = item.partition("/")
        if kind in ("", "6"):
            try:
                value = float(mhz)
            except ValueError:
                continue
            if 100.0 <= value < 200.0:
                return value
    return None


def towered_airports(path, south, north):
    """(longitude, latitude, ident, MHz) of every towered airport in the band, by longitude."""
    found = {}
    with open(path, newline="") as handle:
        for row in csv.DictReader(line for line in handle if not line.startswith("#")):
            mhz = tower_frequency(row["frequencies"])
            if mhz is None:
                continue
            lat, lon = float(row["latitude"]), float(row["longitude"])
            if south <= lat <= north:
                found[row["ident"]] = (lon, lat, row["ident"], mhz)  # an add-on's record replaces the base one
    return sorted(found.values())


def route(airports, legs):
    """legs + 1 airports eastward from 180 W: each the first east of an even step of longitude, and
    always further east than the one before (in sparse parts the route runs ahead of the steps)."""
    longitudes = [a[0] for a in airports]
    step = 360.0 / legs
    chosen, last = [], -1
    for i in range(legs + 1):
        index = max(last + 1, bisect.bisect_left(longitudes, -180.0 + i * step))
        chosen.append(airports[index % len(airports)])
        last = index
    return chosen


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    world, scenario = argv[0], argv[1]
    options = {"--seconds": "660", "--leg-seconds": "5", "--band": "25,60"}
    rest = argv[2:]
    while rest:
        if rest[0] not in options or len(rest) < 2:
            sys.stderr.write(__doc__)
            return 2
        options[rest[0]] = rest[1]
        rest = rest[2:]
    seconds, leg = float(options["--seconds"]), float(options["--leg-seconds"])
    south, north = (float(v) for v in options["--band"].split(","))
    legs = max(2, int(seconds / leg + 0.999))

    airports = towered_airports(world, south, north)
    if len(airports) < 2:
        sys.stderr.write("soak_flight.py: fewer than two towered airports between %g and %g degrees\n" % (south, north))
        return 1
    points = route(airports, legs)
    with open(scenario, "w", newline="") as out:
        out.write("# scripts/soak: %d legs of %g s once around the world, %g to %g degrees north\n"
                  % (legs, leg, south, north))
        out.write("time,lat,lon,alt,com1,com2,selector,ready,menu,pause\n")
        previous = points[0][3]
        for i, point in enumerate(points):
            lon, lat, _, _ = point
            nxt = points[min(i + 1, len(points) - 1)][3]
            selector = 0x80 if i % 2 == 0 else 0x40
            com1, com2 = (nxt, previous) if selector == 0x80 else (previous, nxt)
            alt = 900 if (i // 3) % 2 == 0 else 4500
            pause = 1 if i % 25 == 24 else 0
            out.write("%g,%.6f,%.6f,%d,%.3f,%.3f,0x%02X,1,0,%d\n"
                      % (i * leg, lat, lon, alt, com1, com2, selector, pause))
            previous = nxt
    print("soak flight: %d legs of %g s, %d towered airports on the way (of %d in the band)"
          % (legs, leg, len({p[2] for p in points}), len(airports)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
