// The Windows tests' sleeping program: a top-level window that lives for the seconds given
// (first argument) and then exits with 0. WM_CLOSE to the window ends it at once (the default
// handling destroys the window).
#include <windows.h>

#include <cstdlib>

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 0.0;
  if (seconds <= 0.0) return 0;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"CorviaSleepingProgram";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(windowClass.lpszClassName, L"Sleeping program", WS_OVERLAPPEDWINDOW,
                              0, 0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 2;
  SetTimer(window, 1, static_cast<UINT>(seconds * 1000), nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
