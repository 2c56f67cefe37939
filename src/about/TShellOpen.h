#pragma once

#include <QUrl>
#include <functional>

// The desktop's "open": hands an address (a web page, a "mailto:" address,
// a local file) to the program the user chose for it. The result is not
// examined: when nothing takes the address, nothing visible happens.
class TShellOpen {
public:
    // What receives the address; tests put a recorder in its place.
    using TOpener = std::function<void(const QUrl &)>;

    // The desktop's own opener.
    static TOpener Desktop();
    // Hands `url` to `opener`, or to the desktop's opener when it is empty.
    static void Open(const TOpener &opener, const QUrl &url);
};
