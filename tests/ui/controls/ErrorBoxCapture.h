#pragma once

#include "ui/controls/TErrorBox.h"

#include <QString>
#include <vector>

// Catches what the error box would show for the life of a test, so that no
// modal box stops the run.
class ErrorBoxCapture {
public:
    struct Shown {
        QString caption;
        QString text;
    };

    ErrorBoxCapture() {
        TErrorBox::ShowHook = [this](const QString &caption, const QString &text) {
            shown.push_back({caption, text});
        };
    }
    ~ErrorBoxCapture() { TErrorBox::ShowHook = nullptr; }
    ErrorBoxCapture(const ErrorBoxCapture &) = delete;
    ErrorBoxCapture &operator=(const ErrorBoxCapture &) = delete;

    std::vector<Shown> shown;
};
