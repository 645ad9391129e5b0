// What the walk of a BGL file will read, asked of its mapping before the walk starts: most of a real
// file is sections of other kinds, which a file mapped for its parts (ViewAccess::parts) then never
// reads from disk, and the parts the walk needs arrive in a few large reads instead of a page per
// fault.
#pragma once

#include "core/bytes.h"

// Asks for the section table, every airport section's subsection table and the records of each of
// its subsections. Reads only the header and the tables, bounds-checked as the walk reads them; a file
// the walk would refuse (too short, another magic) is asked for nothing.
void prefetchAirportParts(ByteView view);
