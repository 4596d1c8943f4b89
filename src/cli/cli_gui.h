#pragma once

// The GUI application lorvex-cli's record books are painted under.

#include <memory>

class QGuiApplication;

namespace lorvex::cli {

// Fonts and painting need a GUI application; a headless one (the offscreen
// platform unless QT_QPA_PLATFORM says otherwise) will do. Null when one is
// running already.
std::unique_ptr<QGuiApplication> StartGuiApplication();

}  // namespace lorvex::cli
