#pragma once
// The reader in Traditional Chinese and in faces that are installed: Qt's own texts through its
// translations, and the Latin faces the pages name through metric-compatible stand-ins.
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace velm {

// Installs Qt's zh_TW translation of its own texts (dialog buttons, the file and font dialogs) into the
// application, which owns it. False, with the reason in *why, when it cannot be loaded.
bool installQtTranslations(QCoreApplication &app, QString *why = nullptr);

// Has the design's face 細明體, which this platform lacks, drawn with an installed Ming-style face of the same
// family, else with the CJK font the package was installed with.
void substituteMingFace();

// The faces the pages name (Verdana, Arial, Helvetica) and their stand-ins, most alike first.
QStringList pageFaces();
QStringList sansStandIns();

// Has every widget that names a page face draw with the first installed stand-in, not a serif fallback.
void substitutePageFaces();

// The first stand-in that is installed, or empty when none is.
QString installedSansFamily();

} // namespace velm
