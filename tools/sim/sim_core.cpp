#include "sim_core.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "core/bytes.h"

namespace sim {

namespace {

// Offsets of the simulator interface that the simulator serves or records.
constexpr uint32_t kInterfaceVersion = 0x3304;
constexpr uint32_t kSimVersion = 0x3308;
constexpr uint32_t kLibraryVersion = 0x330A;
constexpr uint32_t kReadyToFly = 0x3364;
constexpr uint32_t kInMenu = 0x3365;
constexpr uint32_t kPause = 0x0264;
constexpr uint32_t kLatitude = 0x0560;
constexpr uint32_t kLongitude = 0x0568;
constexpr uint32_t kAltitude = 0x0570;
constexpr uint32_t kRadioSelector = 0x3122;
constexpr uint32_t kCom1 = 0x034E;
constexpr uint32_t kCom2 = 0x3118;
constexpr uint32_t kText = 0x3380;
constexpr uint32_t kTextSeconds = 0x32FA;
constexpr uint32_t kAircraftChanges = 0x32FC;  // 2 bytes, the interface's own
constexpr uint32_t kTowerLatitude = 0x0D50;
constexpr uint32_t kTowerLongitude = 0x0D58;
constexpr uint32_t kTowerAltitude = 0x0D60;
constexpr uint32_t kTowerZoom = 0x8330;
constexpr uint32_t kFsDir = 0x3E00;
constexpr size_t kFsDirSize = 260;
constexpr uint32_t kChangedSizeStep = 4096;  // how much larger a changed record size comes back

constexpr long double kLatitudeUnitsPer90 = 42957189152768000.0L;
constexpr long double kTwoTo64 = 18446744073709551616.0L;
constexpr long double kTwoTo32 = 4294967296.0L;

bool inMemory(uint64_t offset, uint64_t size) {
    return offset <= kMemorySize && size <= kMemorySize - offset;
}

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        fields.push_back(
            trim(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

bool parseDouble(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

bool parseUnsigned(const std::string& text, uint64_t maximum, uint64_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > maximum) return false;
    value = parsed;
    return true;
}

std::string jsonString(const uint8_t* bytes, size_t size) {
    std::string out = "\"";
    for (size_t i = 0; i < size; ++i) {
        uint8_t c = bytes[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string hexBytes(const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    // Sized once: a block's writes reach 32 KiB.
    std::string out(2 * data.size(), '0');
    for (size_t i = 0; i < data.size(); ++i) {
        out[2 * i] = digits[data[i] >> 4];
        out[2 * i + 1] = digits[data[i] & 0xF];
    }
    return out;
}

int64_t signedAt(const std::vector<uint8_t>& data) {
    uint64_t value = 0;
    readU64(ByteView{data.data(), data.size()}, 0, value);
    return static_cast<int64_t>(value);
}

std::string number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

bool OffsetMemory::write(uint32_t offset, const void* data, size_t size) {
    if (!inMemory(offset, size)) return false;
    if (size) std::memcpy(bytes.data() + offset, data, size);
    return true;
}

bool OffsetMemory::clientWrite(uint32_t offset, const uint8_t* data, size_t size) {
    if (!inMemory(offset, size)) return false;
    // The parts before and after the version words, each in one copy.
    const size_t end = offset + size;
    const size_t before = std::min<size_t>(end, kInterfaceVersion);
    if (offset < before) std::memcpy(bytes.data() + offset, data, before - offset);
    const size_t after = std::max<size_t>(offset, kSimVersion + 4);
    if (after < end) std::memcpy(bytes.data() + after, data + (after - offset), end - after);
    return true;
}

bool OffsetMemory::read(uint32_t offset, void* out, size_t size) const {
    if (!inMemory(offset, size)) return false;
    if (size) std::memcpy(out, bytes.data() + offset, size);
    return true;
}

void OffsetMemory::putU16(uint32_t offset, uint16_t value) {
    ::putU16(bytes.data() + offset, value);
}
void OffsetMemory::putU32(uint32_t offset, uint32_t value) {
    ::putU32(bytes.data() + offset, value);
}
void OffsetMemory::putU64(uint32_t offset, uint64_t value) {
    ::putU64(bytes.data() + offset, value);
}

void seedMemory(OffsetMemory& memory, const Seed& seed) {
    memory.putU32(kInterfaceVersion, seed.interfaceVersion);
    memory.putU32(kSimVersion, seed.simVersion);
    memory.putU16(kAircraftChanges, seed.aircraftChanges);
    uint8_t folder[kFsDirSize] = {};
    std::memcpy(folder, seed.fsDir.data(), seed.fsDir.size() < kFsDirSize ? seed.fsDir.size() : kFsDirSize);
    memory.write(kFsDir, folder, kFsDirSize);
}

namespace {

struct Record {
    uint32_t kind, offset, size;
    size_t data;
};

// Walks the block's records up to its end. False, with the reason, when the block is malformed.
bool parseRecords(const uint8_t* block, size_t size, std::vector<Record>& records, std::string& error) {
    ByteView view{block, size};
    size_t position = 0;
    for (;;) {
        uint32_t kind = 0;
        if (!readU32(view, position, kind)) {
            error = "no end marker inside the block";
            return false;
        }
        if (kind != 1 && kind != 2) break;  // the end marker, or an identifier that ends the walk
        const size_t header = kind == 1 ? 16 : 12;
        Record record{kind, 0, 0, position + header};
        if (!readU32(view, position + 4, record.offset) || !readU32(view, position + 8, record.size) ||
            !view.contains(position, header) || !view.contains(record.data, record.size)) {
            char why[96];
            std::snprintf(why, sizeof why, "record at %zu runs past the block", position);
            error = why;
            return false;
        }
        if (!inMemory(record.offset, record.size)) {
            char why[96];
            std::snprintf(why, sizeof why, "record at %zu addresses 0x%X+%u, outside the offsets", position,
                          record.offset, record.size);
            error = why;
            return false;
        }
        records.push_back(record);
        position = record.data + record.size;
    }
    return true;
}

}  // namespace

size_t requestSize(const uint8_t* block, size_t size) {
    std::vector<Record> records;
    std::string error;
    if (!parseRecords(block, size, records, error)) return 0;
    return (records.empty() ? 0 : records.back().data + records.back().size) + 4;
}

bool writesTowerPosition(uint8_t* block, size_t size) {
    std::vector<Record> records;
    std::string error;
    if (!parseRecords(block, size, records, error)) return false;
    for (const Record& record : records)
        if (record.kind == 2 && (record.offset == kTowerLatitude || record.offset == kTowerLongitude ||
                                 record.offset == kTowerAltitude))
            return true;
    return false;
}

BlockResult processBlock(uint8_t* block, size_t size, OffsetMemory& memory) {
    BlockResult result;
    std::vector<Record> records;
    if (!parseRecords(block, size, records, result.error)) return result;
    for (const Record& record : records) {
        if (record.kind == 1) {
            memory.read(record.offset, block + record.data, record.size);
            ++result.reads;
        } else {
            memory.clientWrite(record.offset, block + record.data, record.size);
            result.writes.push_back(WriteRecord{
                record.offset, std::vector<uint8_t>(block + record.data, block + record.data + record.size)});
        }
    }
    result.accepted = true;
    return result;
}

int64_t latitudeUnits(double degrees) {
    return static_cast<int64_t>(
        std::llround(static_cast<long double>(degrees) * kLatitudeUnitsPer90 / 90.0L));
}

int64_t longitudeUnits(double degrees) {
    // 180 degrees east is the simulator's -180.
    if (degrees >= 180.0) degrees -= 360.0;
    long double units = std::round(static_cast<long double>(degrees) * kTwoTo64 / 360.0L);
    if (units >= kTwoTo64 / 2) return INT64_MAX;
    return static_cast<int64_t>(units);
}

int64_t altitudeUnits(double metres) {
    return static_cast<int64_t>(std::llround(static_cast<long double>(metres) * kTwoTo32));
}

bool parseFrequency(const std::string& text, uint16_t& bcd) {
    uint64_t raw = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (!parseUnsigned(text, 0xFFFF, raw)) return false;
        bcd = static_cast<uint16_t>(raw);
        return true;
    }
    double mhz = 0;
    if (!parseDouble(text, mhz) || mhz < 100.0 || mhz >= 200.0) return false;
    // The word holds 10 kHz steps; 118.125 shows as 118.12 in the simulator too.
    int steps = static_cast<int>(std::floor((mhz - 100.0) * 100.0 + 1e-6));
    if (steps > 9999) steps = 9999;
    bcd = static_cast<uint16_t>(((steps / 1000) << 12) | ((steps / 100 % 10) << 8) |
                                ((steps / 10 % 10) << 4) | (steps % 10));
    return true;
}

bool parseScenario(const std::string& text, Scenario& scenario, std::string& error) {
    static const char* const kColumns[] = {"time", "lat",      "lon",   "alt",  "com1",
                                           "com2", "selector", "ready", "menu", "pause"};
    constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];
    scenario.rows.clear();
    size_t lineNumber = 0;
    size_t start = 0;
    bool headerAllowed = true;
    while (start <= text.size()) {
        size_t newline = text.find('\n', start);
        std::string line =
            text.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
        start = newline == std::string::npos ? text.size() + 1 : newline + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;

        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        std::vector<std::string> fields = splitFields(line);
        if (headerAllowed && fields[0] == "time") {
            headerAllowed = false;
            if (fields.size() != kColumnCount) return fail("the header must name the 10 columns");
            for (size_t i = 0; i < kColumnCount; ++i)
                if (fields[i] != kColumns[i])
                    return fail("column " + std::to_string(i + 1) + " must be " + kColumns[i]);
            continue;
        }
        headerAllowed = false;
        if (fields.size() != kColumnCount)
            return fail("expected 10 fields, found " + std::to_string(fields.size()));

        ScenarioRow row;
        uint64_t value = 0;
        if (!parseDouble(fields[0], row.time) || row.time < 0) return fail("bad time '" + fields[0] + "'");
        if (!scenario.rows.empty() && row.time < scenario.rows.back().time)
            return fail("time goes backwards");
        if (!parseDouble(fields[1], row.lat) || row.lat < -90 || row.lat > 90)
            return fail("bad latitude '" + fields[1] + "'");
        if (!parseDouble(fields[2], row.lon) || row.lon < -180 || row.lon > 180)
            return fail("bad longitude '" + fields[2] + "'");
        if (!parseDouble(fields[3], row.alt) || std::fabs(row.alt) > 1e9)
            return fail("bad altitude '" + fields[3] + "'");
        if (!parseFrequency(fields[4], row.com1)) return fail("bad COM1 frequency '" + fields[4] + "'");
        if (!parseFrequency(fields[5], row.com2)) return fail("bad COM2 frequency '" + fields[5] + "'");
        if (!parseUnsigned(fields[6], 0xFF, value)) return fail("bad radio selector '" + fields[6] + "'");
        row.selector = static_cast<uint8_t>(value);
        if (!parseUnsigned(fields[7], 1, value)) return fail("ready must be 0 or 1");
        row.ready = static_cast<uint8_t>(value);
        if (!parseUnsigned(fields[8], 0xFF, value)) return fail("bad menu flag '" + fields[8] + "'");
        row.menu = static_cast<uint8_t>(value);
        if (!parseUnsigned(fields[9], 0xFFFF, value)) return fail("bad pause flag '" + fields[9] + "'");
        row.pause = static_cast<uint16_t>(value);
        scenario.rows.push_back(row);
    }
    if (scenario.rows.empty()) {
        error = "the scenario has no rows";
        return false;
    }
    return true;
}

ScenarioRow scenarioStateAt(const Scenario& scenario, double time, bool interpolate) {
    if (scenario.rows.empty()) return ScenarioRow{};
    size_t index = 0;
    while (index + 1 < scenario.rows.size() && scenario.rows[index + 1].time <= time)
        ++index;
    ScenarioRow state = scenario.rows[index];
    if (!interpolate || index + 1 >= scenario.rows.size() || time <= state.time) return state;
    const ScenarioRow& next = scenario.rows[index + 1];
    double fraction = (time - state.time) / (next.time - state.time);
    double lonStep = next.lon - state.lon;
    if (lonStep > 180) lonStep -= 360;  // the short way across the date line
    if (lonStep < -180) lonStep += 360;
    state.lat += (next.lat - state.lat) * fraction;
    state.lon += lonStep * fraction;
    if (state.lon > 180) state.lon -= 360;
    if (state.lon < -180) state.lon += 360;
    state.alt += (next.alt - state.alt) * fraction;
    return state;
}

void applyState(OffsetMemory& memory, const ScenarioRow& state) {
    memory.putU8(kReadyToFly, state.ready ? 0 : 1);
    memory.putU8(kInMenu, state.menu);
    memory.putU16(kPause, state.pause);
    memory.putU64(kLatitude, static_cast<uint64_t>(latitudeUnits(state.lat)));
    memory.putU64(kLongitude, static_cast<uint64_t>(longitudeUnits(state.lon)));
    memory.putU64(kAltitude, static_cast<uint64_t>(altitudeUnits(state.alt)));
    memory.putU8(kRadioSelector, state.selector);
    memory.putU16(kCom1, state.com1);
    memory.putU16(kCom2, state.com2);
}

std::string recordLine(uint64_t message, double time, const std::vector<WriteRecord>& writes) {
    if (writes.empty()) return "";
    std::string line = "{\"msg\":" + std::to_string(message) + ",\"time\":" + number("%.3f", time);
    std::string other;
    for (const WriteRecord& w : writes) {
        const size_t size = w.data.size();
        if ((w.offset == kTowerLatitude || w.offset == kTowerLongitude || w.offset == kTowerAltitude) &&
            size == 8) {
            int64_t raw = signedAt(w.data);
            const char* name = w.offset == kTowerLatitude    ? "towerLat"
                               : w.offset == kTowerLongitude ? "towerLon"
                                                             : "towerAlt";
            long double value = w.offset == kTowerLatitude    ? raw * 90.0L / kLatitudeUnitsPer90
                                : w.offset == kTowerLongitude ? raw * 360.0L / kTwoTo64
                                                              : raw / kTwoTo32;
            line += std::string(",\"") + name + "\":" + number("%.9f", static_cast<double>(value));
            line += std::string(",\"") + name + "Raw\":" + std::to_string(raw);
        } else if (w.offset == kTowerZoom && size == 2) {
            line += ",\"zoom\":" + std::to_string(w.data[0] | (w.data[1] << 8));
        } else if (w.offset == kText && size > 0) {
            const void* nul = std::memchr(w.data.data(), 0, size);
            size_t length =
                nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - w.data.data()) : size;
            line +=
                ",\"text\":" + jsonString(w.data.data(), length) + ",\"textSize\":" + std::to_string(size);
        } else if (w.offset == kTextSeconds && size == 2) {
            const uint16_t raw = static_cast<uint16_t>(w.data[0] | (w.data[1] << 8));
            line += ",\"textSeconds\":" + std::to_string(static_cast<int16_t>(raw));
        } else if (w.offset == kLibraryVersion && size == 2) {
            line += ",\"libraryVersion\":" + std::to_string(w.data[0] | (w.data[1] << 8));
        } else {
            if (!other.empty()) other += ",";
            other += "{\"offset\":" + std::to_string(w.offset) + ",\"size\":" + std::to_string(size) +
                     ",\"hex\":\"" + hexBytes(w.data) + "\"}";
        }
    }
    if (!other.empty()) line += ",\"other\":[" + other + "]";
    const std::string fault = faultOf(writes);
    if (!fault.empty())
        line += ",\"fault\":" + jsonString(reinterpret_cast<const uint8_t*>(fault.data()), fault.size());
    return line + "}";
}

std::string faultOf(const std::vector<WriteRecord>& writes) {
    for (const WriteRecord& w : writes)
        if (w.offset < kAircraftChanges + 2 && w.offset + w.data.size() > kAircraftChanges) {
            char why[128];
            std::snprintf(
                why, sizeof why,
                "the write of %zu bytes at 0x%X reaches 0x32FC, the interface's count of aircraft changes",
                w.data.size(), w.offset);
            return why;
        }
    return "";
}

Core::Core(const Options& options, Scenario scenario, Clock clock, Sink record, Sink log)
    : options_(options),
      scenario_(std::move(scenario)),
      clock_(std::move(clock)),
      record_(std::move(record)),
      log_(std::move(log)) {
    seedMemory(memory_, options_.seed);
    if (!scenario_.rows.empty())
        applyState(memory_, scenarioStateAt(scenario_, options_.start, options_.interpolate));
}

double Core::scenarioTime() const {
    return options_.start + clock_() * options_.speed;
}

bool Core::finished() const {
    if (options_.exitAfter >= 0 && answered_ >= static_cast<uint64_t>(options_.exitAfter)) return true;
    return options_.exitAtEnd && !scenario_.rows.empty() && scenarioTime() > scenario_.end();
}

bool Core::handle(uint8_t* block, size_t size, uint32_t& reply) {
    ++messages_;
    const double time = scenarioTime();
    char note[256];
    if (options_.stopAfter >= 0 && messages_ > static_cast<uint64_t>(options_.stopAfter)) {
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: not answered",
                      static_cast<unsigned long long>(messages_), time);
        if (options_.verbose && log_) log_(note);
        return false;
    }
    ++answered_;
    if (faulted(options_.lateAfter)) {
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: answering late, in %u ms",
                      static_cast<unsigned long long>(messages_), time, options_.lateMs);
        if (options_.verbose && log_) log_(note);
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.lateMs));
    }
    if (towerWritesFailed_ < options_.failTowerWrites && writesTowerPosition(block, size)) {
        ++towerWritesFailed_;
        reply = 0;
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: tower write refused (fault %lld of %lld)",
                      static_cast<unsigned long long>(messages_), time,
                      static_cast<long long>(towerWritesFailed_),
                      static_cast<long long>(options_.failTowerWrites));
        if (options_.verbose && log_) log_(note);
        return true;
    }
    if (options_.reply != 1) {
        reply = options_.reply;
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: answered %u without looking at it",
                      static_cast<unsigned long long>(messages_), time, reply);
        if (options_.verbose && log_) log_(note);
        return true;
    }
    if (faulted(options_.garbageAfter)) {
        fillWithGarbage(block, size, messages_);
        reply = 1;
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: block filled with garbage",
                      static_cast<unsigned long long>(messages_), time);
        if (options_.verbose && log_) log_(note);
        return true;
    }
    if (!scenario_.rows.empty()) applyState(memory_, scenarioStateAt(scenario_, time, options_.interpolate));
    if (options_.zeroVersionsFor > 0) {
        const bool early = clock_() < options_.zeroVersionsFor;
        memory_.putU32(kInterfaceVersion, early ? 0 : options_.seed.interfaceVersion);
        memory_.putU32(kSimVersion, early ? 0 : options_.seed.simVersion);
    }
    BlockResult result = processBlock(block, size, memory_);
    if (!result.accepted) {
        reply = 0;
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: refused: %s",
                      static_cast<unsigned long long>(messages_), time, result.error.c_str());
        if (log_) log_(note);
        return true;
    }
    reply = 1;
    if (options_.verbose && log_) {
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: %u reads, %zu writes",
                      static_cast<unsigned long long>(messages_), time, result.reads, result.writes.size());
        log_(note);
    }
    // A client fault that other add-ons would suffer: reported whether or not the run is verbose.
    const std::string fault = faultOf(result.writes);
    if (!fault.empty() && log_) {
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: %s", static_cast<unsigned long long>(messages_),
                      time, fault.c_str());
        log_(note);
    }
    if (record_) {
        std::string line = recordLine(messages_, time, result.writes);
        if (!line.empty()) record_(line);
    }
    // The block was carried out; the header of its first record (at the start of the block) comes back
    // changed.
    const bool hasRecord = result.reads + result.writes.size() > 0;
    if (hasRecord && faulted(options_.changeSizeAfter)) {
        uint32_t recordSize = 0;
        readU32(ByteView{block, size}, 8, recordSize);
        putU32(block + 8, recordSize + kChangedSizeStep);
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: first record's size changed to %u",
                      static_cast<unsigned long long>(messages_), time, recordSize + kChangedSizeStep);
        if (options_.verbose && log_) log_(note);
    }
    if (hasRecord && faulted(options_.changeIdAfter)) {
        uint32_t identifier = 0;
        readU32(ByteView{block, size}, 0, identifier);
        putU32(block, identifier == 1 ? 2 : 1);
        std::snprintf(note, sizeof note, "msg %llu at %.3f s: first record's identifier changed to %u",
                      static_cast<unsigned long long>(messages_), time, identifier == 1 ? 2u : 1u);
        if (options_.verbose && log_) log_(note);
    }
    return true;
}

bool Core::faulted(int64_t after) const {
    if (after < 0 || messages_ <= static_cast<uint64_t>(after)) return false;
    return options_.faultCount < 0 || messages_ - static_cast<uint64_t>(after) <=
                                          static_cast<uint64_t>(options_.faultCount);
}

void fillWithGarbage(uint8_t* block, size_t size, uint64_t seed) {
    // xorshift64*: the same garbage for the same message number, so a failing run can be replayed.
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i < size; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        block[i] = static_cast<uint8_t>((state * 0x2545F4914F6CDD1Dull) >> 56);
    }
}

}  // namespace sim
