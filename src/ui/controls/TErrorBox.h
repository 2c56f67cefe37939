#pragma once

#include <QString>
#include <exception>
#include <functional>

// The application's error box: shows an exception that escaped a handler as
// a modal message box with the error icon and one OK button, titled with
// the application title. The silent abort (EAbort) shows nothing.
class TErrorBox {
public:
    // Receives what would be shown instead of the modal box; tests set it.
    using Hook = std::function<void(const QString &caption, const QString &text)>;
    static Hook ShowHook;

    // The message as shown: a full stop is appended when the message is not
    // empty and its last character's code is above that of the full stop.
    static QString MessageText(const QString &message);
    // The title made from a program file's path: the file name without its
    // folder and without everything from its first full stop on, every
    // letter after the first in lower case.
    static QString TitleFromProgramPath(const QString &programPath);
    // The title of the running program: TApplication's title under the
    // program's application object, else the one made from the program
    // file's path.
    static QString ApplicationTitle();

    // Shows the exception (nothing for EAbort). Never throws.
    static void Show(const std::exception &error);
    // For use inside a catch block: shows the exception being handled,
    // whatever its type.
    static void ShowCurrent();
    // Runs a command started by the user (a click, a handler); its failure is
    // shown here and the program carries on.
    static void Guard(const std::function<void()> &command);
    // Shows a message text as an error, with the full-stop rule applied.
    static void ShowMessage(const QString &message);
};
