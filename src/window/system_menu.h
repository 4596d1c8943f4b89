#pragma once

// The window's system menu. Where the program can extend the native system
// menu (Windows) the item is appended to it after a separator; where the
// window manager owns that menu, the item goes into the window's context menu
// and onto F1. Either way choosing it delivers the command number.

#include <functional>

#include <QByteArray>
#include <QString>

class QWidget;

namespace lorvex {

using SystemCommandHandler = std::function<void(unsigned command)>;

// Appends a separator and the item; command must be below 0xF000 and have its
// lowest four bits clear (the system keeps them for itself).
void AppendSystemMenuItem(QWidget* window, const QString& caption, unsigned command,
                          SystemCommandHandler handler);

// For QWidget::nativeEvent: delivers a system command chosen from the native
// menu to handler and returns true when it was one of ours.
bool HandleSystemMenuEvent(const QByteArray& eventType, void* message, qintptr* result,
                           const SystemCommandHandler& handler, unsigned command);

}  // namespace lorvex
