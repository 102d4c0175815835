#include "ViewerWindow.h"

#include "PictureFit.h"
#include "ViewerTitle.h"

namespace {

const wchar_t kWindowClass[] = L"TarnCamview";
const COLORREF kBackground = RGB(24, 24, 24);
const COLORREF kStatusText = RGB(160, 160, 160);
constexpr int kMaximumRefreshHz = 60;
constexpr unsigned long kNewsWaitSliceMs = 50;
constexpr unsigned long long kTitleRefreshMs = 250;

unsigned long long NowMs()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<unsigned long long>(now.QuadPart / (frequency.QuadPart / 1000));
}

}  // namespace

bool ViewerWindow::Create(HINSTANCE instance, const CamviewOptions& options, int showCommand)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0)
        return false;

    // The options place and size the client area; the frame goes around it.
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {options.x, options.y, options.x + options.width, options.y + options.height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int left = options.placed ? frame.left : CW_USEDEFAULT;
    const int top = options.placed ? frame.top : CW_USEDEFAULT;
    title = ViewerTitle(source.Status(), 0, source.ChannelName());
    window = CreateWindowExW(0, kWindowClass, title.c_str(), style, left, top, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (window == nullptr)
        return false;
    MeasureRefreshPeriod();
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

int ViewerWindow::Run()
{
    // Millisecond waits: the default timer granularity (about 16 ms on Windows) would halve a 60 Hz refresh.
    timeBeginPeriod(1);
    double nextRefreshMs = static_cast<double>(NowMs());
    int exitCode = 0;
    for (;;) {
        MSG message;
        bool quit = false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                exitCode = static_cast<int>(message.wParam);
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (quit)
            break;
        const unsigned long long now = NowMs();
        if (now >= nextRefreshMs) {
            Refresh(now);
            nextRefreshMs += refreshPeriodMs;
            if (nextRefreshMs < now)  // fell behind (the window was being dragged): start afresh from now
                nextRefreshMs = now + refreshPeriodMs;
        }
        // Until the next refresh is due, only input is waited for (the pace); after that, with a sync block,
        // the next frame itself, in slices so that input is still taken up promptly.
        const double waitMs = nextRefreshMs - static_cast<double>(NowMs());
        if (waitMs > 0 || !source.WaitForNews(kNewsWaitSliceMs))
            MsgWaitForMultipleObjectsEx(0, nullptr, waitMs > 0 ? static_cast<DWORD>(waitMs) : 0, QS_ALLINPUT,
                                        MWMO_INPUTAVAILABLE);
    }
    timeEndPeriod(1);
    return exitCode;
}

LRESULT CALLBACK ViewerWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    ViewerWindow* viewer = reinterpret_cast<ViewerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (viewer == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        viewer->Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // Paint covers the whole client area
    case WM_SIZE:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_DISPLAYCHANGE:
        viewer->MeasureRefreshPeriod();
        return 0;
    case WM_DESTROY:
        viewer->window = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void ViewerWindow::Refresh(unsigned long long nowMs)
{
    const bool changed = source.Poll(nowMs);
    if (changed)
        InvalidateRect(window, nullptr, FALSE);
    if (source.Status().synchronised)
        changeRate.CountChange(source.TakeFramesPublished());
    else if (changed && source.HasPicture())
        changeRate.CountChange();
    changeRate.Tick(nowMs);
    // The title follows every change of state at once, and the rate and the frame's age four times a second.
    std::wstring current = ViewerTitle(source.Status(), changeRate.Rate(), source.ChannelName());
    const bool sameState = source.Status() == shownStatus;
    if (current != title && (!sameState || nowMs - lastTitleMs >= kTitleRefreshMs)) {
        shownStatus = source.Status();
        lastTitleMs = nowMs;
        title.swap(current);
        SetWindowTextW(window, title.c_str());
        if (!source.HasPicture())
            InvalidateRect(window, nullptr, FALSE);  // the status line in the client area changed too
    }
}

void ViewerWindow::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(kBackground);
    if (source.HasPicture()) {
        const BITMAPINFOHEADER& picture = source.PictureInfo().bmiHeader;
        const RECT fit = FitPicture(picture.biWidth, picture.biHeight, client.right, client.bottom);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, fit.left, fit.top, fit.right - fit.left, fit.bottom - fit.top, 0, 0, picture.biWidth,
                      picture.biHeight, source.PictureRows(), &source.PictureInfo(), DIB_RGB_COLORS, SRCCOPY);
        ExcludeClipRect(dc, fit.left, fit.top, fit.right, fit.bottom);
        FillRect(dc, &client, background);
    } else {
        FillRect(dc, &client, background);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kStatusText);
        const std::wstring status = ViewerTitle(source.Status(), 0, source.ChannelName());
        DrawTextW(dc, status.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    DeleteObject(background);
    EndPaint(window, &paint);
}

void ViewerWindow::MeasureRefreshPeriod()
{
    // VREFRESH is 0 or 1 when the display does not tell its rate.
    HDC screen = GetDC(nullptr);
    int hz = screen != nullptr ? GetDeviceCaps(screen, VREFRESH) : 0;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    if (hz <= 1 || hz > kMaximumRefreshHz)
        hz = kMaximumRefreshHz;
    refreshPeriodMs = 1000.0 / hz;
}
