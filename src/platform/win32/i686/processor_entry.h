// The first code of the 32-bit kestrel.exe (processor_entry.cpp): the PE's entry point, run before the
// C runtime's start-up and every static constructor, because all other code of the program may use
// SSE2 instructions.
#pragma once

extern "C" {
// Hands over to the runtime's console entry when the processor runs SSE2 code. Otherwise says in the
// console and in a message box that kestrel needs SSE2, and ends the process with exit code 1.
int kestrelEntry(void);
}

// processorRunsSse2Code (sse2_support.h) for the processor this runs on.
int thisProcessorRunsSse2Code();
