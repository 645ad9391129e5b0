// Rows of text cells for the options' answers, printed as aligned columns or as CSV, with the platform's
// line ends. Text from files may hold any byte: control characters become '?', so a row stays one line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/log.h"

struct TextTable {
    std::vector<bool> rightAligned;  // one per column
    std::vector<std::string> cells;  // row after row, the header first
};

// A table whose header row holds `headers`; a header beginning with '>' is a right-aligned column
// (the '>' is not printed).
TextTable makeTable(const std::vector<const char*>& headers);

// Appends a cell to the current row.
void addCell(TextTable& table, const std::string& text);
void addCellf(TextTable& table, const char* format, ...) KESTREL_PRINTF(2, 3);

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
