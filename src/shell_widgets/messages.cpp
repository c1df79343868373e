#include "shell_widgets/messages.h"

#include "base/qtext.h"

#include <QApplication>
#include <QMessageBox>

namespace velm {
namespace {

MessageHooks g_hooks;

QWidget *owner()
{
    return QApplication::activeWindow();
}

QString title()
{
    return QApplication::applicationDisplayName();
}

} // namespace

void setMessageHooks(MessageHooks hooks)
{
    g_hooks = std::move(hooks);
}

void ShowMessage(const Big5Text &text)
{
    if (g_hooks.information)
        return g_hooks.information(text);
    QMessageBox::information(owner(), title(), qFromCp950(text));
}

bool AskYesNo(const Big5Text &text)
{
    if (g_hooks.question)
        return g_hooks.question(text);
    return QMessageBox::question(owner(), title(), qFromCp950(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void ShowError(const std::string &utf8)
{
    if (g_hooks.error)
        return g_hooks.error(utf8);
    QMessageBox::critical(owner(), title(), QString::fromStdString(utf8));
}

} // namespace velm
