// Rows of text cells for the options' answers, printed as aligned columns or as CSV, with the platform's
// line ends. Text from files may hold any byte: control characters become '?', so a row stays one line.
// Built for the tens of thousands of rows of a world library: all cells share one buffer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/log.h"

struct TextTable {
    std::vector<bool> rightAligned;  // one per column
    std::string text;                // every cell's bytes, row after row, the header first
    std::vector<size_t> ends;        // where each cell ends in `text`
};

// A table whose header row holds `headers`; a header beginning with '>' is a right-aligned column
// (the '>' is not printed).
TextTable makeTable(const std::vector<const char*>& headers);

// Appends a cell to the current row.
void addCell(TextTable& table, const char* text);
void addCell(TextTable& table, const std::string& text);
// A number with `decimals` places, rounded as printf's %.Nf rounds it.
void addNumber(TextTable& table, double value, int decimals);

// Rows after the header.
size_t tableRows(const TextTable& table);

// Columns padded to their widest cell, two spaces apart, no trailing blanks.
void writeAligned(const TextTable& table, std::string& out);

// Comma-separated; a cell holding a comma or a double quote is quoted, its quotes doubled.
void writeCsv(const TextTable& table, std::string& out);

// `text` with every control character replaced by '?'.
std::string printable(const char* text);

// Appends the formatted text and the platform's line end.
void appendLine(std::string& out, const char* format, ...) KESTREL_PRINTF(2, 3);
