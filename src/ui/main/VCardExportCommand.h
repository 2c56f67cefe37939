#pragma once

#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QWidget;
class TDBConnection;

// "Tools" > "Export vCards ...": all contacts, or only the one in the
// editor, into a vCard file chosen in a save dialog (".vcf" added to a name
// typed without it).
class VCardExportCommand {
public:
    // Replaceable by tests: which contacts (nothing: cancelled; false: all,
    // true: the current one only; `canChooseCurrent` false when there is
    // none), the file (empty: cancelled) and the closing message.
    using ScopeChooser = std::function<std::optional<bool>(bool canChooseCurrent)>;
    using FileChooser = std::function<QString()>;
    using Message = std::function<void(const QString &text)>;

    VCardExportCommand(TDBConnection &connection, QWidget *parent);

    ScopeChooser chooseScope;
    FileChooser chooseFile;
    Message tell;

    // `currentContact`: the key of the stored contact in the editor, if any.
    void Run(std::optional<qint64> currentContact);

private:
    std::optional<bool> AskScope(bool canChooseCurrent);
    QString AskFile();

    TDBConnection &connection_;
    QPointer<QWidget> parent_;
    QString lastFile_;
};
