// The progress window of a long decode: the program name as its title and a bar, on the
// decode's own thread, which handles the window's messages between pieces. The bar is drawn
// with user32 alone: the common controls' DLL is not one of the system's known DLLs, and such a
// DLL is looked for beside the executable first, in a downloads folder of other people's files.
#include "report.h"

// Shown once it is laid out.
static constexpr DWORD WINDOW_STYLE = WS_POPUP | WS_CAPTION;
// Messages are handled this often once the window shows: often enough to move and repaint
// it smoothly, seldom enough to cost the decode nothing measurable.
static constexpr DWORD PUMP_MS = 50;

static struct {
    DWORD total;  // compressed bytes; 0: no window for this decode
    DWORD done;  // of them consumed at the last step
    DWORD last;  // tick count of the start, then of the last message handling
    HWND window;
    UINT dpi;  // of the monitor the window is on
} g_progress;

// The system's DPI: from user32 where it tells it (Windows 10 1607 on), else the screen's.
static UINT systemDpi()
{
    typedef UINT(WINAPI * GetDpiForSystemFn)();
    auto getDpiForSystem = setup_userProc<GetDpiForSystemFn>("GetDpiForSystem");
    if (getDpiForSystem != nullptr) {
        return getDpiForSystem();
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The DPI of the monitor the window is on, where the system keeps one per monitor.
static UINT windowDpi(HWND window)
{
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    auto getDpiForWindow = setup_userProc<GetDpiForWindowFn>("GetDpiForWindow");
    UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : systemDpi();
}

// The window's outer size for the client area at dpi, frame and caption at that DPI too.
static SIZE windowSize(UINT dpi)
{
    RECT outer = {0, 0, setup_scaleToDpi(SETUP_PROGRESS_CLIENT_WIDTH, dpi),
                  setup_scaleToDpi(SETUP_PROGRESS_CLIENT_HEIGHT, dpi)};
    typedef BOOL(WINAPI * AdjustWindowRectExForDpiFn)(RECT*, DWORD, BOOL, DWORD, UINT);
    auto adjustForDpi = setup_userProc<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr) {
        adjustForDpi(&outer, WINDOW_STYLE, FALSE, 0, dpi);
    } else {
        AdjustWindowRectEx(&outer, WINDOW_STYLE, FALSE, 0);
    }
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// The bar fills the client area but a margin: a frame, the part done, the rest.
static void paintBar(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT rest;
    GetClientRect(window, &rest);
    int margin = setup_scaleToDpi(SETUP_PROGRESS_MARGIN, g_progress.dpi);
    InflateRect(&rest, -margin, -margin);
    FillRect(dc, &rest, GetSysColorBrush(COLOR_BTNSHADOW));
    int frame = setup_scaleToDpi(1, g_progress.dpi);
    InflateRect(&rest, -frame, -frame);
    RECT done = rest;
    done.right = rest.left +=
        setup_progressFill(g_progress.done, g_progress.total, rest.right - rest.left);
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
    // Moved to a monitor of another DPI: the system suggests the rectangle for it.
    if (message == WM_DPICHANGED) {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        g_progress.dpi = LOWORD(wParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Sized for the DPI of the monitor it is on, the primary one (which may differ from the
// system's since the user last signed in), centred there, and shown.
static void showLaidOut(HWND window)
{
    g_progress.dpi = windowDpi(window);
    SIZE size = windowSize(g_progress.dpi);
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
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
    HWND window = CreateWindowExA(0, SETUP_PROGRESS_CLASS, title != nullptr ? title : "",
                                  WINDOW_STYLE, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
        showLaidOut(window);
    }
    return window;
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
