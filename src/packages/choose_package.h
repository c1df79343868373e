#pragma once
// The open-file dialog of the toolbar import.
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

class QWidget;

namespace velm {

// The title the toolbar import gives the dialog.
QString ChoosePackageTitle();
// Package files first; both letter cases, since names on this platform are case-sensitive.
QStringList PackageFileFilters();

// Lets the user pick a package: its path (UTF-8), or nothing when the dialog is cancelled.
std::optional<std::string> ChoosePackageFile(QWidget *parent, const QString &title);

} // namespace velm
