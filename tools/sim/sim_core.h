// The portable heart of kestrel-sim: the simulator's offset memory, the processing of request blocks,
// the scenario replay and the record of what the client wrote. The socket and window servers wrap it,
// and the unit tests' in-process server reuses it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

constexpr size_t kMemorySize = 0x10000;

// The simulator's 64 KiB of offsets.
struct OffsetMemory {
    std::array<uint8_t, kMemorySize> bytes{};

    // False (nothing changed) when the range does not lie inside the memory.
    bool write(uint32_t offset, const void* data, size_t size);
    bool read(uint32_t offset, void* out, size_t size) const;
    // A client's write: like write(), but the version words at 0x3304..0x330B stay as served. The
    // client's library version lands on 0x330A, the high half of the simulator's version word; it is a
    // notice to the simulator, not a change of what later clients read.
    bool clientWrite(uint32_t offset, const uint8_t* data, size_t size);
    void putU8(uint32_t offset, uint8_t value) { bytes[offset] = value; }
    void putU16(uint32_t offset, uint16_t value);
    void putU32(uint32_t offset, uint32_t value);
    void putU64(uint32_t offset, uint64_t value);
};

// Version words and folder the memory starts with.
struct Seed {
    uint32_t interfaceVersion = 0x20000000;  // 0x3304: must exceed 0x19980004 for the client
    uint32_t simVersion = 0xFADE0009;        // 0x3308: 0xFADE marker, version 9
    std::string fsDir = "C:\\FS9\\";         // 0x3E00: up to 260 bytes; 260 leaves no NUL
    // 0x32FC: the interface's count of aircraft changes, which other add-ons watch. Not 0, so that a
    // client write over it shows.
    uint16_t aircraftChanges = 1;
};
void seedMemory(OffsetMemory& memory, const Seed& seed);

struct WriteRecord {
    uint32_t offset = 0;
    std::vector<uint8_t> data;
};

struct BlockResult {
    bool accepted = false;  // false: malformed, nothing was carried out
    std::string error;      // why it was refused
    uint32_t reads = 0;
    std::vector<WriteRecord> writes;
};

// Carries out the records of a request block in order: reads fill their data from the memory, writes
// store theirs (clientWrite). The block is checked whole first (every record and the end marker inside the
// block, every offset range inside the memory); a malformed block is refused untouched. An unknown record
// identifier ends the walk like the end marker.
BlockResult processBlock(uint8_t* block, size_t size, OffsetMemory& memory);

// Fills the block with pseudo-random bytes that depend only on `seed`.
void fillWithGarbage(uint8_t* block, size_t size, uint64_t seed);

// The bytes of a well-formed request at the start of the block: its records and the end marker (or the
// identifier that ends the walk); 0 when the block is malformed.
size_t requestSize(const uint8_t* block, size_t size);

// True when the block is well formed and writes the tower view's position (0x0D50, 0x0D58 or 0x0D60).
bool writesTowerPosition(uint8_t* block, size_t size);

// One moment of the flight.
struct ScenarioRow {
    double time = 0;    // seconds from the scenario's start
    double lat = 0;     // degrees north
    double lon = 0;     // degrees east
    double alt = 0;     // metres
    uint16_t com1 = 0;  // BCD frequency words as the simulator holds them
    uint16_t com2 = 0;
    uint8_t selector = 0x80;  // 0x80 COM1, 0x40 COM2
    uint8_t ready = 1;        // 1 ready to fly (the simulator's byte is then 0)
    uint8_t menu = 0;
    uint16_t pause = 0;
};

struct Scenario {
    std::vector<ScenarioRow> rows;
    double end() const { return rows.empty() ? 0.0 : rows.back().time; }
};

// Parses the CSV timeline (see README.md). On failure returns false with "line N: why" in `error`.
bool parseScenario(const std::string& text, Scenario& scenario, std::string& error);

// The state at scenario time `time`: the last row at or before it (the first row before the start),
// with position linearly interpolated towards the next row when asked.
ScenarioRow scenarioStateAt(const Scenario& scenario, double time, bool interpolate);

// Writes a state into the offsets the client reads.
void applyState(OffsetMemory& memory, const ScenarioRow& state);

// The simulator's units.
int64_t latitudeUnits(double degrees);
int64_t longitudeUnits(double degrees);
int64_t altitudeUnits(double metres);
// "118.100" (MHz, 100.00 to 199.99) or a raw word "0x1810"; false when neither.
bool parseFrequency(const std::string& text, uint16_t& bcd);

// The JSON line (without line break) recording the writes of message `message` at scenario time `time`;
// empty when the block wrote nothing. A write over 0x32FC, which only the interface itself changes, adds
// the fault (faultOf).
std::string recordLine(uint64_t message, double time, const std::vector<WriteRecord>& writes);
// The client's fault among the writes, or empty: a write that reaches 0x32FC (the 4-byte display time
// of an older client at 0x32FA does).
std::string faultOf(const std::vector<WriteRecord>& writes);

struct Options {
    std::string scenarioPath;
    std::string recordPath;  // "-" for standard output; empty: no record
    std::string className = "FS98MAIN";
    std::string runDir;  // POSIX only
    Seed seed;
    double speed = 1.0;
    double start = 0.0;
    bool interpolate = false;
    bool exitAtEnd = false;
    uint32_t reply = 1;
    int64_t stopAfter = -1;       // answer this many messages, then none; -1: always answer
    int64_t exitAfter = -1;       // stop after answering this many messages; -1: never
    int64_t failTowerWrites = 0;  // refuse this many messages that write the tower position
    int64_t lateAfter = -1;       // answer the messages after this many only after lateMs; -1: never
    uint32_t lateMs = 2500;
    // Faults on the reply, each hitting the messages after this many (-1: never): the first record's
    // size comes back larger, its identifier swapped (read and write), or the whole block garbage.
    int64_t changeSizeAfter = -1;
    int64_t changeIdAfter = -1;
    int64_t garbageAfter = -1;
    int64_t faultCount = -1;  // how many messages each of the faults above hits; -1: all of them
    // Seconds from the start during which both version words read 0, as from an interface not ready yet
    // or a WideClient not yet connected to its server.
    double zeroVersionsFor = 0;
    bool verbose = false;
    bool help = false;
};

// Reads the command line. False with a message in `error` for an unknown option or a bad value.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
extern const char* const kUsage;

// The simulator: memory, scenario clock, faults and record, answering one block at a time.
class Core {
public:
    using Clock = std::function<double()>;  // seconds since the simulator started
    using Sink = std::function<void(const std::string& line)>;

    Core(const Options& options, Scenario scenario, Clock clock, Sink record, Sink log);

    // Handles one message on `block`. Returns false when the message must go unanswered (the simulator
    // plays hung); otherwise `reply` is the answer.
    bool handle(uint8_t* block, size_t size, uint32_t& reply);

    // True once the simulator should stop by itself (end of the scenario, or the message budget).
    bool finished() const;
    double scenarioTime() const;
    uint64_t messages() const { return messages_; }
    OffsetMemory& memory() { return memory_; }

private:
    Options options_;
    Scenario scenario_;
    Clock clock_;
    Sink record_, log_;
    OffsetMemory memory_;
    uint64_t messages_ = 0;
    uint64_t answered_ = 0;
    int64_t towerWritesFailed_ = 0;

    // True when this message lies in the window of a fault that starts after `after` messages.
    bool faulted(int64_t after) const;
};

}  // namespace sim
