// Kestrun: starts the Windows installation and ends with the installer's exit code. It creates a
// main window that is never shown and runs no message loop, so the window procedure and the About
// box below only ever see the messages that window creation sends.
#include "SetupChain.h"
#include "Win32SetupOs.h"
#include "resource.h"

#include <windows.h>

namespace {

HINSTANCE hInst = nullptr;

INT_PTR CALLBACK About(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_ABOUT:
            DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ABOUTBOX), window, About, 0);
            return 0;
        case IDM_EXIT:
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    hInst = instance;
    kestrun::Win32SetupOs os(instance, WndProc);
    kestrun::SetupChain chain(os, commandLine);
    return static_cast<int>(kestrun::launch(os, chain));
}
