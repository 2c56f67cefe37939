#include "ui/controls/TErrorBox.h"

#include "data/DatabaseErrors.h"
#include "ui/controls/TApplication.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

TErrorBox::Hook TErrorBox::ShowHook;

QString TErrorBox::MessageText(const QString &message) {
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

QString TErrorBox::TitleFromProgramPath(const QString &programPath) {
    QString name = QFileInfo(programPath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString TErrorBox::ApplicationTitle() {
    // The program's own application object carries its title; under any
    // other the title is made from the program file's name.
    if (qobject_cast<TApplication *>(QCoreApplication::instance()))
        return TApplication::kTitle;
    return TitleFromProgramPath(QCoreApplication::applicationFilePath());
}

void TErrorBox::Show(const std::exception &error) {
    if (dynamic_cast<const EAbort *>(&error))
        return;
    if (auto *own = dynamic_cast<const EError *>(&error))
        ShowMessage(own->Message());
    else
        ShowMessage(QString::fromLocal8Bit(error.what()));
}

void TErrorBox::ShowCurrent() {
    try {
        throw;
    } catch (const std::exception &error) {
        Show(error);
    } catch (...) {
        // Not one of ours nor a standard exception: there is no message to
        // show, but the program must carry on all the same.
        ShowMessage(QStringLiteral("Unknown error"));
    }
}

void TErrorBox::Guard(const std::function<void()> &command) {
    try {
        command();
    } catch (...) {
        ShowCurrent();
    }
}

void TErrorBox::ShowMessage(const QString &message) {
    // A widget that holds the mouse would keep it while the box is up.
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    const QString caption = ApplicationTitle();
    const QString text = MessageText(message);
    if (ShowHook) {
        ShowHook(caption, text);
        return;
    }
    QPointer<QWidget> active = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, active);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (active)
        active->activateWindow();
}
