// A library of many airports spread over the globe, for the tests that need a database the size of a
// real one: three layers of ten files each, the middle and top layers redefining every seventh and
// every eleventh airport (so the build merges), each airport with a runway and a tower frequency.
#pragma once

#include <string>

#include "scenery_writer.h"

inline sceneryw::LibraryDef manyAirports(size_t count) {
    using namespace sceneryw;
    LibraryDef library;
    const char* folders[] = {"Scenery\\World", "Scenery\\Region", "Addon Scenery\\Towers"};
    for (int layer = 0; layer < 3; ++layer) {
        AreaDef area;
        area.local = folders[layer];
        area.layer = 10 * (layer + 1);
        area.files.resize(10);
        for (size_t f = 0; f < area.files.size(); ++f)
            area.files[f].name = "APT" + std::to_string(f);
        library.areas.push_back(area);
    }
    for (size_t i = 0; i < count; ++i) {
        AirportDef a;
        const std::string number = std::to_string(10000 + i % 10000);
        a.ident = static_cast<char>('K' + i / 10000 % 16) + number.substr(1);
        a.name = "Airport " + std::to_string(i);
        a.latitude = -80.0 + static_cast<double>((i * 7919) % 16000) / 100.0;
        a.longitude = -179.5 + static_cast<double>((i * 104729) % 35900) / 100.0;
        a.elevationM = static_cast<double>(i % 900);
        Runway r;
        r.latitude = a.latitude;
        r.longitude = a.longitude;
        r.lengthM = 1000.0 + static_cast<double>(i % 3000);
        r.headingDeg = static_cast<double>(i % 360);
        r.primaryNumber = static_cast<uint8_t>(i % 18 + 1);
        r.secondaryNumber = static_cast<uint8_t>(i % 18 + 19);
        a.runways = {r};
        a.frequencies = {Frequency{118.0 + static_cast<double>(i % 800) * 0.025, kComTower, ""}};
        const size_t file = i % 10;
        library.areas[0].files[file].airports.push_back(a);
        if (i % 7 == 0) {
            a.tower = TowerPosition{a.latitude + 0.01, a.longitude, 40.0};
            library.areas[1].files[file].airports.push_back(a);
        }
        if (i % 11 == 0) {
            a.frequencies.push_back(Frequency{121.9, 5, "Ground"});
            library.areas[2].files[file].airports.push_back(a);
        }
    }
    return library;
}
