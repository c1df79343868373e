#pragma once
// The open-file dialog of the toolbar import.
#include <QString>
#include <QStringList>

class QWidget;

namespace velm {

class Connection;

// The title the toolbar import gives the dialog.
QString ChoosePackageTitle();
// Package files first; both letter cases, since names on this platform are case-sensitive.
QStringList PackageFileFilters();

// Lets the user pick a package; when one is picked, closes the connection, makes the chosen path its
// connection text and returns true. False when the dialog is cancelled (the connection is untouched).
bool ChoosePackageFile(QWidget *parent, const QString &title, Connection &connection);

} // namespace velm
