#pragma once
// The program's open-file dialog. It tells the files it lists apart by their names alone: reading a file
// to learn its type would open an archive the program holds open, and closing that descriptor drops every
// lock SQLite holds on the file, so that another program takes the archive for unused and removes its -wal.
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace velm {

// Lets the user pick an existing file (filters as QFileDialog::setNameFilters takes them): its path, or
// nothing when the dialog is cancelled. It is Qt's own dialog, since a platform dialog reads the files.
std::optional<QString> ChooseExistingFile(QWidget *parent, const QString &title, const QStringList &filters);

} // namespace velm
