#include "core/offline_table.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace {

std::string formatted(const char* format, va_list args) {
    char buffer[512];
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0) return std::string();
    return std::string(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
}

size_t columnCount(const TextTable& table) {
    return table.rightAligned.size();
}

}  // namespace

std::string printable(const char* text) {
    std::string result(text);
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return result;
}

TextTable makeTable(const std::vector<const char*>& headers) {
    TextTable table;
    for (const char* h : headers) {
        const bool right = h[0] == '>';
        table.rightAligned.push_back(right);
        table.cells.emplace_back(right ? h + 1 : h);
    }
    return table;
}

void addCell(TextTable& table, const std::string& text) {
    table.cells.push_back(printable(text.c_str()));
}

void addCellf(TextTable& table, const char* format, ...) {
    va_list args;
    va_start(args, format);
    addCell(table, formatted(format, args));
    va_end(args);
}

size_t tableRows(const TextTable& table) {
    const size_t columns = columnCount(table);
    return columns ? table.cells.size() / columns - 1 : 0;
}

void writeAligned(const TextTable& table, std::string& out) {
    const size_t columns = columnCount(table);
    std::vector<size_t> widths(columns, 0);
    for (size_t i = 0; i < table.cells.size(); ++i)
        widths[i % columns] = std::max(widths[i % columns], table.cells[i].size());
    for (size_t row = 0; row * columns < table.cells.size(); ++row) {
        std::string line;
        for (size_t c = 0; c < columns; ++c) {
            const std::string& cell = table.cells[row * columns + c];
            const size_t pad = widths[c] - cell.size();
            if (c > 0) line += "  ";
            if (table.rightAligned[c]) line.append(pad, ' ');
            line += cell;
            if (!table.rightAligned[c] && c + 1 < columns) line.append(pad, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line;
        out += kPlatformLineEnd;
    }
}

void writeCsv(const TextTable& table, std::string& out) {
    const size_t columns = columnCount(table);
    for (size_t i = 0; i < table.cells.size(); ++i) {
        const std::string& cell = table.cells[i];
        if (cell.find_first_of(",\"") == std::string::npos) {
            out += cell;
        } else {
            out += '"';
            for (char c : cell) {
                if (c == '"') out += '"';
                out += c;
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
