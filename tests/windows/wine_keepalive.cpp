// Keeps Wine's desktop process up for a test session: it waits in a
// message loop until the session's wineserver is ended. Started once, in the
// background, with its stdio on /dev/null, so that no test starts the desktop
// with the test's output pipe inherited (which holds CTest for seconds).
#include <windows.h>

int main() {
  // A window on the default desktop makes Wine start the desktop process now.
  const HWND window =
      CreateWindowExW(0, L"STATIC", L"keep-alive", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  if (window) DestroyWindow(window);
  return 0;
}
