// SPDX-License-Identifier: MIT
// Reads Sheetfind.exe's window from another process, as an accessibility tool
// would, for the test that types into it with xdotool under Wine:
//   probe wait             waits for Form1 to be shown
//   probe text NAME        the text of a control (txtLat, Label3...)
//   probe focus            the name of the control with the keyboard focus
//   probe rect NAME        a control's left, top, width and height in the client area
//   probe center NAME      a control's centre on the screen, for xdotool
//   probe client           the client area's width and height
//   probe message          waits for the failure's message box and prints its text
//   probe close            closes Form1
#include "win32_form1.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>

namespace {

using namespace sheetfind::win32;

constexpr std::pair<const wchar_t*, int> kControls[] = {
    {L"txtLat", kTxtLatId}, {L"Label1", kLabel1Id}, {L"Label2", kLabel2Id},
    {L"txtLon", kTxtLonId}, {L"Label3", kLabel3Id}, {L"cmdSheetfind", kCmdSheetfindId},
};

// Waits up to thirty seconds for a window: a first start under Wine is slow.
template <typename Find> HWND waitFor(Find find) {
    for (int tries = 0; tries < 300; ++tries) {
        if (HWND window = find()) {
            return window;
        }
        Sleep(100);
    }
    return nullptr;
}

HWND form() {
    return waitFor([] { return FindWindowW(kForm1Class, nullptr); });
}

std::wstring textOf(HWND window) {
    wchar_t text[1024] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
    return text;
}

void print(const std::wstring& text) {
    char bytes[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    std::printf("%s\n", bytes);
}

HWND control(HWND window, const wchar_t* name) {
    for (const auto& [known, id] : kControls) {
        if (std::wcscmp(known, name) == 0) {
            return GetDlgItem(window, id);
        }
    }
    return nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::wstring command = argv[1];
    HWND window = form();
    if (window == nullptr) {
        std::fprintf(stderr, "probe: Form1 is not shown\n");
        return 1;
    }
    if (command == L"wait") {
        return 0;
    }
    if (command == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"client") {
        RECT client;
        GetClientRect(window, &client);
        std::printf("%ld %ld\n", client.right, client.bottom);
        return 0;
    }
    if (command == L"focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        for (const auto& [name, id] : kControls) {
            if (info.hwndFocus != nullptr && info.hwndFocus == GetDlgItem(window, id)) {
                print(name);
                return 0;
            }
        }
        print(L"none");
        return 0;
    }
    if (command == L"message") {
        // The message box is a dialog of Form1's thread, under the window's title.
        HWND box = waitFor([window] {
            HWND found = FindWindowW(L"#32770", L"Sheetfind Reference");
            return found != nullptr && GetWindow(found, GW_OWNER) == window ? found : nullptr;
        });
        if (box == nullptr) {
            std::fprintf(stderr, "probe: no message box\n");
            return 1;
        }
        print(textOf(GetDlgItem(box, 0xFFFF))); // the message box's text
        return 0;
    }
    HWND item = argc > 2 ? control(window, argv[2]) : nullptr;
    if (item == nullptr) {
        std::fprintf(stderr, "probe: name a control\n");
        return 2;
    }
    RECT rect;
    GetWindowRect(item, &rect);
    if (command == L"text") {
        print(textOf(item));
    } else if (command == L"center") {
        std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    } else if (command == L"rect") {
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
    } else {
        return 2;
    }
    return 0;
}
