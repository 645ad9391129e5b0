// The tower search over realistic airport sets, against a brute-force search over every airport with
// the same choice rule, and the time to fill the 2-d tree in file order.
//
// Airports come from the CSV named by KESTREL_AIRPORTS_CSV (header "ident,latitude,longitude", degrees)
// when it is set, else from a generated world: dense clusters around cities inside regions of very
// different density, with identifiers whose prefix follows the region, as real identifiers do. Either
// way the airports are taken in identifier order, as a loaded database file inserts them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "airportdb/airport.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "simlink/sim_state.h"
#include "tower/conversions.h"
#include "tower/spatial_index.h"
#include "tower/tower_search.h"

namespace {

constexpr size_t kSmallSet = 25000;
constexpr size_t kLargeSet = 70000;
constexpr uint16_t kTunedRadio = 1720;  // 118.72 MHz

struct Place {
    const char* name;
    double lat;
    double lon;
};
const Place kPlaces[] = {
    {"dense_new_york", 40.70, -73.95},
    {"dense_central_europe", 50.05, 8.60},
    {"sparse_northern_canada", 66.50, -100.00},
    {"remote_mid_pacific", 0.00, -160.00},
};

uint32_t toRawLat(double lat) {
    return static_cast<uint32_t>(std::llround(std::clamp((90.0 - lat) / kRawLatFactor, 0.0, 4294967295.0)));
}
uint32_t toRawLon(double lon) {
    return static_cast<uint32_t>(std::llround(std::clamp((lon + 180.0) / kRawLonFactor, 0.0, 4294967295.0)));
}

struct Source {
    std::string ident;
    double lat;
    double lon;
};

std::string unquote(std::string field) {
    field.erase(std::remove(field.begin(), field.end(), '"'), field.end());
    while (!field.empty() && (field.back() == '\r' || field.back() == ' '))
        field.pop_back();
    return field;
}

std::vector<Source> readCsv(const char* path) {
    std::vector<Source> airports;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        size_t a = line.find(',');
        size_t b = a == std::string::npos ? a : line.find(',', a + 1);
        if (b == std::string::npos) continue;
        std::string ident = unquote(line.substr(0, a));
        char* end = nullptr;
        std::string latText = unquote(line.substr(a + 1, b - a - 1));
        std::string lonText = unquote(line.substr(b + 1));
        double lat = std::strtod(latText.c_str(), &end);
        if (end == latText.c_str()) continue;
        double lon = std::strtod(lonText.c_str(), &end);
        if (end == lonText.c_str() || ident.empty() || !(std::fabs(lat) <= 90) || !(std::fabs(lon) <= 180))
            continue;
        airports.push_back({ident.substr(0, 6), lat, lon});
    }
    return airports;
}

// Regions of the generated world: a prefix, a box, a share of the airports, and how many cities hold
// most of them (the rest are spread evenly, which makes the sparse areas).
struct Region {
    const char* prefix;
    double lat0, lat1, lon0, lon1;
    int count;
    int cities;
};
const Region kRegions[] = {
    {"K", 25, 49, -125, -67, 24000, 60},      // contiguous United States
    {"C", 42, 56, -130, -55, 2600, 15},       // southern Canada
    {"CY", 56, 80, -140, -60, 400, 2},        // northern Canada
    {"PA", 52, 71, -170, -130, 1500, 5},      // Alaska
    {"PH", 18.9, 22.3, -160, -154.8, 60, 3},  // Hawaii
    {"M", 7, 32, -117, -77, 3500, 12},        // Mexico, Central America
    {"S", -55, 12, -81, -35, 8000, 25},       // South America
    {"E", 48, 71, -10, 30, 8000, 40},         // northern Europe
    {"L", 35, 48, -10, 30, 5500, 30},         // southern Europe
    {"U", 42, 75, 30, 180, 2500, 15},         // Russia and neighbours
    {"O", 12, 42, 34, 75, 1500, 10},          // Middle East
    {"V", 5, 35, 67, 110, 2500, 15},          // south Asia
    {"Z", 18, 50, 75, 135, 2000, 15},         // China
    {"R", 24, 46, 124, 146, 1500, 8},         // Japan, Korea, Taiwan
    {"F", -35, 35, -18, 52, 4000, 20},        // Africa
    {"Y", -44, -10, 113, 154, 3500, 10},      // Australia
    {"N", -47, -8, 160, -150 + 360, 300, 4},  // New Zealand and the South Pacific
};

std::vector<Source> generateWorld() {
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> spread(0.0, 0.6);
    std::vector<Source> airports;
    for (const Region& r : kRegions) {
        std::vector<std::pair<double, double>> cities;
        for (int c = 0; c < r.cities; ++c)
            cities.push_back(
                {r.lat0 + (r.lat1 - r.lat0) * unit(random), r.lon0 + (r.lon1 - r.lon0) * unit(random)});
        for (int i = 0; i < r.count; ++i) {
            double lat, lon;
            if (unit(random) < 0.75) {  // around a city
                const auto& city = cities[random() % cities.size()];
                lat = city.first + spread(random);
                lon = city.second + spread(random) / std::max(0.2, std::cos(city.first * kPi / 180.0));
            } else {
                lat = r.lat0 + (r.lat1 - r.lat0) * unit(random);
                lon = r.lon0 + (r.lon1 - r.lon0) * unit(random);
            }
            lat = std::clamp(lat, -89.9, 89.9);
            if (lon > 180) lon -= 360;
            if (lon < -180) lon += 360;
            std::string ident = r.prefix;
            while (ident.size() < 4)
                ident += static_cast<char>('A' + random() % 26);
            ident += static_cast<char>('A' + random() % 26);  // five characters keep them distinct enough
            airports.push_back({ident, lat, lon});
        }
    }
    return airports;
}

struct World {
    bool realData = false;
    std::vector<Source> sorted;  // identifier order
    std::vector<Airport> records;
    size_t loaded = 0;  // airports in the tree
    std::vector<Airport*> candidates;
};
World world;

void prepareWorld() {
    if (!world.sorted.empty()) return;
    const char* csv = std::getenv("KESTREL_AIRPORTS_CSV");
    if (csv && *csv) {
        world.sorted = readCsv(csv);
        world.realData = !world.sorted.empty();
        if (!world.realData)
            std::fprintf(stderr, "no airports read from %s; using the generated world\n", csv);
    }
    if (world.sorted.empty()) world.sorted = generateWorld();
    std::sort(world.sorted.begin(), world.sorted.end(), [](const Source& a, const Source& b) {
        return std::strcmp(a.ident.c_str(), b.ident.c_str()) < 0;
    });
    if (world.sorted.size() > kLargeSet) world.sorted.resize(kLargeSet);

    std::mt19937 random(7);
    world.records.assign(world.sorted.size(), Airport{});
    for (size_t i = 0; i < world.sorted.size(); ++i) {
        Airport& a = world.records[i];
        std::memcpy(a.ident, world.sorted[i].ident.c_str(),
                    std::min<size_t>(6, world.sorted[i].ident.size()));
        a.apLat = a.twrLat = toRawLat(world.sorted[i].lat);
        a.apLon = a.twrLon = toRawLon(world.sorted[i].lon);
        int frequencies = static_cast<int>(random() % 3);  // 0 to 2 tower frequencies, 25 kHz steps
        for (int f = 0; f < frequencies; ++f)
            a.towerCom[f] = static_cast<uint16_t>(1000 + 25 * (random() % 760));
    }
    core.config = configDefaults();
    setLogLevel(3);
    std::printf("airports: %s, %zu in identifier order\n",
                world.realData ? "real (KESTREL_AIRPORTS_CSV)" : "generated", world.sorted.size());
}

// Fills the tree with the first `n` airports, as a database load does.
void loadWorld(size_t n) {
    prepareWorld();
    n = std::min(n, world.records.size());
    if (world.loaded == n) return;
    releaseSpatialIndex();
    for (size_t i = 0; i < n; ++i)
        spatialIndexAdd(&world.records[i]);
    world.loaded = n;
    world.candidates.assign(2 * n, nullptr);
    core.candidates = world.candidates.data();
    core.candidateCapacity = static_cast<int32_t>(world.candidates.size());
}

// Every airport's distance, then the tower search's choice rule over all of them.
const Airport* bruteForce() {
    const double threshold = static_cast<double>(core.config->comLockThreshold);
    const Airport* chosen = nullptr;
    bool chosenFlagged = false;
    float chosenDistance = 0;
    for (size_t i = 0; i < world.loaded; ++i) {
        const Airport& a = world.records[i];
        float d = static_cast<float>(
            greatCircleNm(simState.clat, simState.clon, rawLatToDegrees(a.apLat), rawLonToDegrees(a.apLon)));
        bool tuned = false;
        for (int s = 0; s < kTowerComSlots && a.towerCom[s] != 0; ++s)
            tuned = tuned || (a.towerCom[s] / 10) * 10 == simState.radio;
        bool flagged = threshold > d && tuned;
        if (!chosen || (flagged && !chosenFlagged) || (flagged == chosenFlagged && chosenDistance > d)) {
            chosen = &a;
            chosenFlagged = flagged;
            chosenDistance = d;
        }
    }
    return chosen;
}

int passesCounted = 0;
void countPasses(const char* bytes, size_t length) {
    if (length > 11 && std::strncmp(bytes, "search for ", 11) == 0) ++passesCounted;
}

template <typename F>
double nanosecondsPerCall(F&& call, int calls) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        benchmark::DoNotOptimize(call());
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / calls;
}

void BM_TowerSearch(benchmark::State& state, size_t airports, Place place) {
    loadWorld(airports);
    simState = SimState{};
    simState.clat = place.lat;
    simState.clon = place.lon;
    simState.radio = kTunedRadio;
    const int32_t minimum = core.config->towerMinCandidates;

    // One traced search for the number of passes and the size of the final box.
    passesCounted = 0;
    setLogSink(countPasses);
    setLogLevel(5);
    Airport* chosen = towerSearch(2, minimum);
    setLogLevel(3);
    setLogSink(nullptr);
    const int32_t finalCandidates = core.candidateCount;
    const Airport* reference = bruteForce();
    bool sameDistance = chosen && reference && chosen->distanceNm <= reference->distanceNm + 1e-3f;

    auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(towerSearch(2, minimum));
    const double searchNs =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    const double bruteNs = nanosecondsPerCall(bruteForce, 20);

    state.counters["airports"] = static_cast<double>(world.loaded);
    state.counters["passes"] = passesCounted;
    state.counters["candidates"] = finalCandidates;
    state.counters["search_ns"] = searchNs;
    state.counters["brute_ns"] = bruteNs;
    state.counters["speedup"] = bruteNs / searchNs;
    state.counters["same_choice"] = sameDistance ? 1 : 0;
}

void BM_InsertFileOrder(benchmark::State& state) {
    prepareWorld();
    world.loaded = 0;
    for (auto _ : state) {
        state.PauseTiming();
        releaseSpatialIndex();
        state.ResumeTiming();
        for (Airport& a : world.records)
            spatialIndexAdd(&a);
    }
    world.loaded = world.records.size();
    world.candidates.assign(2 * world.loaded, nullptr);
    core.candidates = world.candidates.data();
    core.candidateCapacity = static_cast<int32_t>(world.candidates.size());
    state.counters["points"] = 2.0 * static_cast<double>(world.records.size());
    state.counters["height"] = spatialIndex.height;
}

void registerAll() {
    prepareWorld();
    for (size_t airports : {kSmallSet, kLargeSet}) {
        airports = std::min(airports, world.records.size());
        for (const Place& place : kPlaces) {
            std::string name = "TowerSearch/" + std::to_string(airports) + "/" + place.name;
            benchmark::RegisterBenchmark(name.c_str(), BM_TowerSearch, airports, place);
        }
    }
    std::string insert = "InsertFileOrder/" + std::to_string(2 * world.records.size()) + "_points";
    benchmark::RegisterBenchmark(insert.c_str(), BM_InsertFileOrder)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
