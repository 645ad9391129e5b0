#include "app/offline_table.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

std::string formatted(const char* format, va_list args) {
    char buffer[512];
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0) return std::string();
    return std::string(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
}

bool isControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

void appendPrintable(std::string& to, const char* text, size_t length) {
    const size_t start = to.size();
    to.append(text, length);
    for (size_t i = start; i < to.size(); ++i)
        if (isControl(to[i])) to[i] = '?';
}

size_t columnCount(const TextTable& table) {
    return table.rightAligned.size();
}

size_t cellStart(const TextTable& table, size_t i) {
    return i == 0 ? 0 : table.ends[i - 1];
}

size_t cellLength(const TextTable& table, size_t i) {
    return table.ends[i] - cellStart(table, i);
}

}  // namespace

std::string printable(const char* text) {
    std::string result;
    appendPrintable(result, text, std::strlen(text));
    return result;
}

TextTable makeTable(const std::vector<const char*>& headers) {
    TextTable table;
    for (const char* h : headers) {
        const bool right = h[0] == '>';
        table.rightAligned.push_back(right);
        addCell(table, right ? h + 1 : h);
    }
    return table;
}

void addCell(TextTable& table, const char* text) {
    appendPrintable(table.text, text, std::strlen(text));
    table.ends.push_back(table.text.size());
}

void addCell(TextTable& table, const std::string& text) {
    appendPrintable(table.text, text.data(), text.size());
    table.ends.push_back(table.text.size());
}

void addNumber(TextTable& table, double value, int decimals) {
    // to_chars rounds the exact binary value like printf, at a fraction of the cost.
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    table.text.append(buffer, r.ec == std::errc() ? static_cast<size_t>(r.ptr - buffer) : 0);
    table.ends.push_back(table.text.size());
}

size_t tableRows(const TextTable& table) {
    const size_t columns = columnCount(table);
    return columns ? table.ends.size() / columns - 1 : 0;
}

void writeAligned(const TextTable& table, std::string& out) {
    const size_t columns = columnCount(table);
    std::vector<size_t> widths(columns, 0);
    for (size_t i = 0; i < table.ends.size(); ++i)
        widths[i % columns] = std::max(widths[i % columns], cellLength(table, i));
    size_t lineWidth = 0;
    for (size_t w : widths)
        lineWidth += w + 2;
    out.reserve(out.size() + (tableRows(table) + 1) * (lineWidth + 2));
    for (size_t i = 0; i < table.ends.size(); ++i) {
        const size_t c = i % columns;
        const size_t length = cellLength(table, i);
        const size_t pad = widths[c] - length;
        if (c > 0) out.append(2, ' ');
        if (table.rightAligned[c]) out.append(pad, ' ');
        out.append(table.text, cellStart(table, i), length);
        if (!table.rightAligned[c]) out.append(pad, ' ');
        if (c + 1 == columns) {
            while (!out.empty() && out.back() == ' ')
                out.pop_back();
            out += kPlatformLineEnd;
        }
    }
}

void writeCsv(const TextTable& table, std::string& out) {
    const size_t columns = columnCount(table);
    out.reserve(out.size() + table.text.size() + 2 * table.ends.size());
    for (size_t i = 0; i < table.ends.size(); ++i) {
        const char* cell = table.text.data() + cellStart(table, i);
        const size_t length = cellLength(table, i);
        if (std::find_if(cell, cell + length, [](char c) { return c == ',' || c == '"'; }) == cell + length) {
            out.append(cell, length);
        } else {
            out += '"';
            for (size_t k = 0; k < length; ++k) {
                if (cell[k] == '"') out += '"';
                out += cell[k];
            }
            out += '"';
        }
        out += (i + 1) % columns == 0 ? kPlatformLineEnd : ",";
    }
}

void appendLine(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    out += formatted(format, args);
    va_end(args);
    out += kPlatformLineEnd;
}
