#include "about/TShellOpen.h"

#include <QDesktopServices>

TShellOpen::TOpener TShellOpen::Desktop() {
    return [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

void TShellOpen::Open(const TOpener &opener, const QUrl &url) {
    if (opener)
        opener(url);
    else
        QDesktopServices::openUrl(url);
}
