#include <windows.h>

#include <QWidget>

#include "window/system_menu.h"

namespace lorvex {

void AppendSystemMenuItem(QWidget* window, const QString& caption, unsigned command,
                          SystemCommandHandler) {
    if (caption.isEmpty()) return;
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (!menu) return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, command, reinterpret_cast<LPCWSTR>(caption.utf16()));
}

bool HandleSystemMenuEvent(const QByteArray& eventType, void* message, qintptr* result,
                           const SystemCommandHandler& handler, unsigned command) {
    if (eventType != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_SYSCOMMAND || (msg->wParam & 0xFFF0) != command) return false;
    handler(static_cast<unsigned>(msg->wParam));
    *result = 0;
    return true;
}

}  // namespace lorvex
