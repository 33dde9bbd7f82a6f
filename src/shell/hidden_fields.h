#pragma once

#include <QString>

/// The main window's hidden literal fields. Commands read the quote characters from here rather
/// than from literals; Text3 holds the plain copy of the document that files are written from.
struct HiddenFields {
    QString Text1 = QStringLiteral("\">");
    QString Text2 = QStringLiteral("=\"");
    QString Text3;
    QString Text4 = QStringLiteral("\"");
    QString Text5 = QStringLiteral("<meta name=\"GENERATOR\" content=\"Tagloom\">");
    QString Text6 = QStringLiteral("<!--");
    QString Text7 = QStringLiteral("-->");
    QString Text8 = QStringLiteral("<!");
    QString Text9 = QStringLiteral(">");
};
