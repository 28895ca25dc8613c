// SPDX-License-Identifier: MIT
#include "win32_form1.h"

#include "form1_layout.h"
#include "lookup_command.h"
#include "system_locale.h"
#include "windows_text.h"

#include <memory>
#include <string>
#include <string_view>

namespace sheetfind::win32 {
namespace {

using namespace form1;

// The icon in the program's resources, also the file's own icon.
constexpr int kIconResource = 1;

std::string textOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return utf8(text);
}

struct Form1 {
    explicit Form1(HWND window) : form(window) {}
    ~Form1() {
        DeleteObject(dialogFont);
        DeleteObject(resultFont);
    }
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void create();
    void click();
    // Gives a label the size of its caption, keeping its top left corner; an empty
    // caption takes `empty`, the size the layout gives it.
    void fitToCaption(HWND label, const TwipRect& empty);

    int pixels(int twips) const { return twipsToPixels(twips, dpi); }
    HWND control(const wchar_t* kind, std::string_view text, DWORD style, const TwipRect& at,
                 ControlId id, HFONT font);

    HWND form;
    int dpi = kStandardDpi;
    LookupCommand lookup{userNumberSymbols()};
    HFONT dialogFont = nullptr;
    HFONT resultFont = nullptr;
    HWND txtLat = nullptr;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND txtLon = nullptr;
    HWND Label3 = nullptr;
    HWND cmdSheetfind = nullptr;
};

HWND Form1::control(const wchar_t* kind, std::string_view text, DWORD style, const TwipRect& at,
                    ControlId id, HFONT font) {
    const DWORD exStyle = wcscmp(kind, L"EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
    HWND handle = CreateWindowExW(
        exStyle, kind, utf16(text).c_str(), WS_CHILD | WS_VISIBLE | style, pixels(at.left),
        pixels(at.top), pixels(at.width), pixels(at.height), form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return handle;
}

void Form1::create() {
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    // The controls take the dialog font of the user's settings, at the screen's density.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    dialogFont = CreateFontIndirectW(&metrics.lfMessageFont);

    LOGFONTW result{};
    result.lfHeight = -MulDiv(kResultPointSize, dpi, 72);
    result.lfWeight = kResultWeight;
    result.lfCharSet = ANSI_CHARSET;
    const std::wstring family = utf16(kResultFamily);
    family.copy(result.lfFaceName, LF_FACESIZE - 1);
    resultFont = CreateFontIndirectW(&result);

    // Created in tab order, which is the order Tab visits them in. No caption holds
    // a mnemonic: SS_NOPREFIX shows an '&' as it is.
    const DWORD label = SS_LEFT | SS_NOPREFIX;
    const DWORD box = WS_TABSTOP | ES_AUTOHSCROLL;
    txtLat = control(L"EDIT", "", box, kTxtLat, kTxtLatId, dialogFont);
    Label1 = control(L"STATIC", kLatitudeCaption, label, kLabel1, kLabel1Id, dialogFont);
    Label2 = control(L"STATIC", kLongitudeCaption, label, kLabel2, kLabel2Id, dialogFont);
    txtLon = control(L"EDIT", "", box, kTxtLon, kTxtLonId, dialogFont);
    Label3 = control(L"STATIC", "", label, kLabel3, kLabel3Id, resultFont);
    cmdSheetfind = control(L"BUTTON", kButtonCaption, WS_TABSTOP | BS_PUSHBUTTON, kCmdSheetfind,
                           kCmdSheetfindId, dialogFont);
    for (HWND edit : {txtLat, txtLon}) {
        SendMessageW(edit, EM_LIMITTEXT, kMaxBoxLength, 0);
    }
    fitToCaption(Label1, kLabel1);
    fitToCaption(Label2, kLabel2);
}

void Form1::fitToCaption(HWND label, const TwipRect& empty) {
    std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(label)) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(
        GetWindowTextW(label, caption.data(), static_cast<int>(caption.size()))));
    SIZE size{pixels(empty.width), pixels(empty.height)};
    if (!caption.empty()) {
        HDC dc = GetDC(label);
        HGDIOBJ before =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, caption.data(), static_cast<int>(caption.size()), &size);
        SelectObject(dc, before);
        ReleaseDC(label, dc);
    }
    SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(form, nullptr, TRUE);
}

void Form1::click() {
    const LookupResult result = lookup.run(textOf(txtLat), textOf(txtLon));
    if (const auto* caption = std::get_if<std::string>(&result)) {
        SetWindowTextW(Label3, utf16(*caption).c_str());
        fitToCaption(Label3, kLabel3);
        return;
    }
    const InputFailure& failure = std::get<InputFailure>(result);
    const FailureMessage message = failureMessage(failure);
    MessageBoxW(form, utf16(message.text).c_str(), utf16(message.title).c_str(),
                MB_OK | MB_ICONWARNING);
    // Straight back to the box at fault, its text selected, ready to be retyped.
    HWND box = boxAtFault(failure) == Box::Latitude ? txtLat : txtLon;
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 0, -1);
}

Form1* formOf(HWND window) {
    return reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK form1Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Form1* form = formOf(window);
    switch (message) {
    case WM_CREATE: {
        auto made = std::make_unique<Form1>(window);
        made->create();
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made.release()));
        return 0;
    }
    case WM_COMMAND:
        // Only the button's click looks up; IDOK and IDCANCEL, which Enter and
        // Escape send, are ignored.
        if (form != nullptr && LOWORD(wParam) == kCmdSheetfindId && HIWORD(wParam) == BN_CLICKED) {
            form->click();
        }
        return 0;
    case WM_CTLCOLORSTATIC:
        if (form != nullptr && reinterpret_cast<HWND>(lParam) == form->Label3) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc,
                         RGB(kResultRgb >> 16 & 0xFF, kResultRgb >> 8 & 0xFF, kResultRgb & 0xFF));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_DESTROY:
        delete form;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HWND createForm1(HINSTANCE instance, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = form1Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kForm1Class;
    if (RegisterClassExW(&windowClass) == 0) {
        return nullptr;
    }

    // A fixed size: the client area is the layout's, at the screen's density.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, twipsToPixels(kClientArea.width, dpi), twipsToPixels(kClientArea.height, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND form = CreateWindowExW(WS_EX_CONTROLPARENT, kForm1Class, utf16(kTitle).c_str(), style,
                                CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (form == nullptr) {
        return nullptr;
    }
    ShowWindow(form, showCommand);
    UpdateWindow(form);
    SetFocus(formOf(form)->txtLat);
    return form;
}

int runMessageLoop(HWND form) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Enter never looks up, not even on the focused button (as in the Linux
        // window); the dialog manager would otherwise press it.
        const bool enter = (message.message == WM_KEYDOWN || message.message == WM_CHAR) &&
                           message.wParam == VK_RETURN;
        if (enter && IsChild(form, message.hwnd)) {
            continue;
        }
        if (!IsDialogMessageW(form, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace sheetfind::win32
