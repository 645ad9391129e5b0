// The real progress window (Windows; under Wine with Xvfb): found by its class while a build-like
// sequence runs, read back through the Win32 API, and photographed.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/progress.h"
#include "kestrel_version.h"
#include "platform/win32/png_writer.h"
#include "support/test_paths.h"

namespace {

// Until the tick count has moved on by `ms`: the throttle reads the tick count, which on a busy machine
// (and under Wine) can lag behind a Sleep of the same length.
void waitTicks(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms)
        Sleep(5);
}

std::string windowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string className(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// The window's label texts: headline, file count, airport count.
std::vector<std::string> labelTexts(HWND window) {
    std::vector<std::string> texts;
    for (HWND child : childrenOf(window))
        if (className(child) == "Static") texts.push_back(windowText(child));
    return texts;
}

HWND progressBarOf(HWND window) {
    for (HWND child : childrenOf(window))
        if (className(child) == PROGRESS_CLASSA) return child;
    return nullptr;
}

RECT rectInParent(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// What the screen shows inside the window's rectangle, as RGB rows from the top.
bool saveScreenshot(HWND window, const std::string& path) {
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bgrx(static_cast<size_t>(width) * height * 4);
    int rows = GetDIBits(memory, bitmap, 0, height, bgrx.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) return false;

    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t pixel = 0; pixel < static_cast<size_t>(width) * height; ++pixel) {
        rgb[pixel * 3 + 0] = bgrx[pixel * 4 + 2];
        rgb[pixel * 3 + 1] = bgrx[pixel * 4 + 1];
        rgb[pixel * 3 + 2] = bgrx[pixel * 4 + 0];
    }
    return writePng(path, static_cast<uint32_t>(width), static_cast<uint32_t>(height), rgb);
}

bool waitUntilGone(HWND window) {
    for (int i = 0; i < 100 && IsWindow(window); ++i)
        Sleep(50);
    return !IsWindow(window);
}

// progressFinish's 2.5 s pause is where the final window is examined; the pause itself stays real.
struct FinalDisplay {
    bool finishing = false;  // set just before progressFinish
    std::vector<std::string> labels;
    std::vector<std::string> labelsAfterPause;
    int barPosition = -1;
    bool screenshotSaved = false;
    std::string screenshotPath;
    HWND foreground = nullptr;
};
FinalDisplay finalDisplay;

void examiningSleep(uint32_t milliseconds) {
    if (finalDisplay.finishing) {
        HWND window = FindWindowA("kestrel " KESTREL_VERSION, nullptr);
        if (window && finalDisplay.labels.empty()) {
            Sleep(200);  // time to paint the new headline before the picture
            finalDisplay.labels = labelTexts(window);
            HWND bar = progressBarOf(window);
            finalDisplay.barPosition = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
            finalDisplay.foreground = GetForegroundWindow();
            if (!finalDisplay.screenshotPath.empty())
                finalDisplay.screenshotSaved = saveScreenshot(window, finalDisplay.screenshotPath);
        }
        Sleep(milliseconds);
        if (window) finalDisplay.labelsAfterPause = labelTexts(window);  // still up until the very end
        return;
    }
    Sleep(milliseconds);
}

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        finalDisplay = FinalDisplay{};
        hooked = platformProgress();
        hooked.sleep = examiningSleep;
        setProgressPlatform(&hooked);
        progressState = ProgressState{};
        // The simulator's window, clear of the progress window (which the pictures show), keeps the
        // foreground throughout.
        simulator = CreateWindowExA(0, "STATIC", "simulator", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400, 300,
                                    200, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(simulator);
    }
    void TearDown() override {
        setProgressPlatform(nullptr);
        DestroyWindow(simulator);
    }

    ProgressPlatform hooked{};
    HWND simulator = nullptr;
};

TEST_F(ProgressWindowTest, WindowLayoutTextsAndBarDuringABuild) {
    finalDisplay.screenshotPath = binaryDir() + "\\progress-window-final.png";
    ASSERT_EQ(FindWindowA("kestrel " KESTREL_VERSION, nullptr), nullptr);

    ASSERT_EQ(GetForegroundWindow(), simulator);
    progressOpen();
    progressStart(3);
    HWND window = FindWindowA("kestrel " KESTREL_VERSION, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());  // a thread of its own

    // The top-level window.
    LONG units = GetDialogBaseUnits();
    int x = LOWORD(units), y = HIWORD(units);
    EXPECT_EQ(windowText(window), "kestrel " KESTREL_VERSION);
    const DWORD shown = WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY | WS_EX_NOACTIVATE;  // and not WS_EX_TOPMOST
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & (shown | WS_EX_TOPMOST), shown);
    DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & (WS_POPUP | WS_CHILD | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(frame.right - frame.left, 55 * x);
    EXPECT_EQ(frame.bottom - frame.top, 7 * y);

    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "kestrel " KESTREL_VERSION, &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(windowClass.hbrBackground, reinterpret_cast<HBRUSH>(1));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.hIcon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(windowClass.lpszMenuName, nullptr);

    // The four children in their order, with their classes, texts, styles and places.
    struct Expected {
        const char* className;
        const char* text;
        int row;
    };
    const Expected expected[] = {
        {"Static", "... indexing airports and towers, please hold the line ...", 0},
        {"Static", "Files scanned: 0", 2},
        {"Static", "Airports found: 0", 3},
        {"msctls_progress32", "", 4},
    };
    std::vector<HWND> children = childrenOf(window);
    ASSERT_EQ(children.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(className(children[i]), expected[i].className);
        EXPECT_EQ(windowText(children[i]), expected[i].text);
        DWORD childStyle = static_cast<DWORD>(GetWindowLongA(children[i], GWL_STYLE));
        EXPECT_EQ(childStyle & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        RECT place = rectInParent(children[i]);
        EXPECT_EQ(place.left, 0);
        EXPECT_EQ(place.top, expected[i].row * y);
        EXPECT_EQ(place.right - place.left, 50 * x);
        EXPECT_EQ(place.bottom - place.top, y);
    }
    HWND bar = children[3];
    EXPECT_TRUE(GetWindowLongA(bar, GWL_STYLE) & PBS_SMOOTH);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 3);

    // A build-like sequence: per layer four files with two airports each, then the layer is done.
    // The pauses let the 10 ms throttle pass, so the labels must show the counts when read.
    for (uint32_t layer = 1; layer <= 3; ++layer) {
        for (int file = 0; file < 4; ++file) {
            progressAddFiles(1);
            progressAddAirports(2);
        }
        progressLayerDone();
        waitTicks(20);
        progressAddFiles(0);
        std::vector<std::string> labels = labelTexts(window);
        ASSERT_EQ(labels.size(), 3u);
        EXPECT_EQ(labels[1], "Files scanned: " + std::to_string(4 * layer) + " (" + std::to_string(layer) +
                                 "/3 scenery layers)");
        EXPECT_EQ(labels[2], "Airports found: " + std::to_string(8 * layer));
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), static_cast<LRESULT>(layer));
        if (layer == 2) {
            Sleep(200);  // time to paint
            std::string path = binaryDir() + "\\progress-window.png";
            EXPECT_TRUE(saveScreenshot(window, path)) << path;
        }
    }
    // Within 10 ms of the last refresh: only the final refresh shows this file.
    progressAddFiles(1);

    finalDisplay.finishing = true;
    progressFinish();
    uint32_t elapsed = progressState.startTime;
    std::vector<std::string> finalLabels{"Airport Database created in " + std::to_string(elapsed) + " ms",
                                         "Files scanned: 13 (3/3 scenery layers)", "Airports found: 24"};
    EXPECT_EQ(finalDisplay.labels, finalLabels);
    EXPECT_EQ(finalDisplay.labelsAfterPause, finalLabels);
    EXPECT_EQ(finalDisplay.barPosition, 3);
    EXPECT_TRUE(finalDisplay.screenshotSaved) << finalDisplay.screenshotPath;
    EXPECT_EQ(finalDisplay.foreground, simulator);

    EXPECT_TRUE(waitUntilGone(window));
    EXPECT_EQ(FindWindowA("kestrel " KESTREL_VERSION, nullptr), nullptr);
}

}  // namespace
