#include <QAction>
#include <QKeySequence>
#include <QWidget>

#include "window/system_menu.h"

namespace lorvex {

void AppendSystemMenuItem(QWidget* window, const QString& caption, unsigned command,
                          SystemCommandHandler handler) {
    if (caption.isEmpty()) return;
    auto* action = new QAction(caption, window);
    action->setObjectName(QStringLiteral("systemCommand%1").arg(command));
    action->setShortcut(QKeySequence(Qt::Key_F1));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window,
                     [handler = std::move(handler), command] { handler(command); });
    window->addAction(action);
    window->setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool HandleSystemMenuEvent(const QByteArray&, void*, qintptr*, const SystemCommandHandler&,
                           unsigned) {
    return false;
}

}  // namespace lorvex
