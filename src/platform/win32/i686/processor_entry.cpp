// The 32-bit program's entry point. Everything else of kestrel.exe is compiled for SSE2 (the three
// builds compute the same bits that way), and the C runtime's start-up already runs the program's
// static constructors: on a processor without SSE2 the first such instruction ends the process with a
// system error box and no word of kestrel's. This file runs first: before it the loader only calls the
// runtime's TLS callbacks, which use no SSE.
//
// It is compiled without SSE and MMX, for the original Pentium (the oldest processor Windows XP runs
// on: no cmov), without a stack protector or other instrumented code, and it calls nothing but the
// system's DLLs and, once the processor passed, the runtime's entry. scripts/check-entry holds its
// object code and the executable's entry point to that.
#if !defined(__GNUC__) || !defined(__i386__)
#error "the entry point of the 32-bit x86 build with GCC (MinGW-w64)"
#endif
// GCC has no use for SSE in this code today, so the object alone would not show the flags it was
// compiled with: the build stops on them.
#if defined(__SSE__) || defined(__MMX__) || defined(__i686__)
#error "the processor check must be compiled for the original Pentium, without MMX and SSE"
#endif

#include "platform/win32/i686/processor_entry.h"

#include <windows.h>

#include <cpuid.h>

#include "kestrel_version.h"
#include "platform/win32/i686/sse2_support.h"

// The runtime's console entry: sets the C runtime up, runs the static constructors, calls main and
// ends the process with its result.
extern "C" int mainCRTStartup(void);

namespace {

constexpr char kTitle[] = "kestrel " KESTREL_VERSION;

// For the console and the message box alike; the blank line sets the first line apart in the box.
constexpr char kNoSse2Text[] =
    "kestrel needs a processor with SSE2, and this computer's processor does not have it.\r\n\r\n"
    "SSE2 is in Intel processors from the Pentium 4 and the Pentium M on, in AMD processors from the "
    "Athlon 64 and the Opteron on, and in VIA processors from the C7 on.\r\n"
    "The Pentium III, the Athlon XP, the Duron, the VIA C3 and older processors lack it, and so do "
    "the Celerons and Semprons built on them.\r\n";

constexpr uint32_t kEflagsId = uint32_t{1} << 21;

struct ThisProcessor {
    // A processor with CPUID lets a program flip the ID bit of EFLAGS; EFLAGS is put back as found.
    bool hasCpuid() {
        uint32_t flipped = 0;
        uint32_t original = 0;
        __asm__ volatile(
            "pushfl\n\t"
            "pushfl\n\t"
            "popl %0\n\t"
            "movl %0, %1\n\t"
            "xorl %2, %0\n\t"
            "pushl %0\n\t"
            "popfl\n\t"
            "pushfl\n\t"
            "popl %0\n\t"
            "popfl"
            : "=&r"(flipped), "=&r"(original)
            : "i"(kEflagsId)
            : "cc");
        return ((flipped ^ original) & kEflagsId) != 0;
    }

    CpuidAnswer cpuid(uint32_t leaf) {
        CpuidAnswer answer;
        __cpuid(leaf, answer.eax, answer.ebx, answer.ecx, answer.edx);
        return answer;
    }
};

// To standard output with WriteFile, so that a redirection to a file or a pipe gets the text too, not
// only a console.
void printRefusal() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(output, kNoSse2Text, sizeof kNoSse2Text - 1, &written, nullptr);
}

// A start that asks for a hidden window (an auto-start can) gets no message box either: nobody is
// there to close it, and Windows gives a process's first shown window the start's show state, so the
// box could be hidden too and keep the process for good.
bool startedHidden() {
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
}

}  // namespace

int thisProcessorRunsSse2Code() {
    ThisProcessor processor;
    return processorRunsSse2Code(processor);
}

extern "C" int kestrelEntry(void) {
    if (thisProcessorRunsSse2Code()) return mainCRTStartup();
    printRefusal();
    // The box stands in for a failed start's wait for Enter: a console of kestrel's own stays open with
    // the text until the box is closed.
    if (!startedHidden()) MessageBoxA(nullptr, kNoSse2Text, kTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ExitProcess(1);
}
