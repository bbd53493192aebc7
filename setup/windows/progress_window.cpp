// The progress window of a long decode: the program name as its title and a bar, on the
// decode's own thread, which handles the window's messages between pieces. The bar is drawn
// with user32 alone: the common controls' DLL is not one of the system's known DLLs, and such a
// DLL is looked for beside the executable first, in a downloads folder of other people's files.
#include "report.h"

// Pixels at 96 dots per inch; the system scales the window of a program that declares no DPI
// awareness.
static constexpr int WINDOW_WIDTH = 360;
static constexpr int WINDOW_HEIGHT = 88;
static constexpr int BAR_MARGIN = 16;
// Messages are handled this often once the window shows: often enough to move and repaint
// it smoothly, seldom enough to cost the decode nothing measurable.
static constexpr DWORD PUMP_MS = 50;

static struct {
    DWORD total;  // compressed bytes; 0: no window for this decode
    DWORD done;   // of them consumed at the last step
    DWORD last;   // tick count of the start, then of the last message handling
    HWND window;
} g_progress;

// The bar fills the client area but a margin: a frame, the part done, the rest.
static void paintBar(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT rest;
    GetClientRect(window, &rest);
    rest.left += BAR_MARGIN;
    rest.top += BAR_MARGIN;
    rest.right -= BAR_MARGIN;
    rest.bottom -= BAR_MARGIN;
    FillRect(dc, &rest, GetSysColorBrush(COLOR_BTNSHADOW));
    ++rest.left;
    ++rest.top;
    --rest.right;
    --rest.bottom;
    RECT done = rest;
    done.right = rest.left += setup_progressFill(g_progress.done, g_progress.total,
                                                 rest.right - rest.left);
    FillRect(dc, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
    FillRect(dc, &rest, GetSysColorBrush(COLOR_WINDOW));
    EndPaint(window, &paint);
}

static LRESULT CALLBACK progressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        paintBar(window);
        return 0;
    }
    // There is nothing to close: the decode goes on whatever the window does.
    if (message == WM_CLOSE) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window with a caption but no system menu, so no buttons, centred on the primary screen.
static HWND createWindow()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = progressProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = SETUP_PROGRESS_CLASS;
    // A class left from an earlier decode of this process serves as well.
    RegisterClassA(&windowClass);
    const char* title = setup_getProgramName();
    return CreateWindowExA(0, SETUP_PROGRESS_CLASS, title != nullptr ? title : "",
                           WS_POPUP | WS_CAPTION | WS_VISIBLE,
                           (GetSystemMetrics(SM_CXSCREEN) - WINDOW_WIDTH) / 2,
                           (GetSystemMetrics(SM_CYSCREEN) - WINDOW_HEIGHT) / 2, WINDOW_WIDTH,
                           WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
}

void setup_progressBegin(DWORD total)
{
    g_progress.total = total;
    g_progress.done = 0;
    g_progress.last = GetTickCount();
    g_progress.window = nullptr;
}

void setup_progressStep(DWORD done)
{
    if (g_progress.total == 0) {
        return;
    }
    DWORD now = GetTickCount();
    DWORD interval = g_progress.window != nullptr ? PUMP_MS : SETUP_PROGRESS_DELAY_MS;
    if (!setup_progressDue(g_progress.last, now, interval)) {
        return;
    }
    g_progress.last = now;
    g_progress.done = done;
    if (g_progress.window == nullptr) {
        g_progress.window = createWindow();
        // Without a window the decode goes on as it would without progress.
        if (g_progress.window == nullptr) {
            g_progress.total = 0;
            return;
        }
    }
    InvalidateRect(g_progress.window, nullptr, FALSE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

void setup_progressEnd()
{
    if (g_progress.window != nullptr) {
        DestroyWindow(g_progress.window);
    }
    g_progress.total = 0;
    g_progress.window = nullptr;
}
