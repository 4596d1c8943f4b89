#pragma once

// Shared pieces of the report tests: the application object the widgets and
// fonts need, templates and rows from memory, and the text of a PDF.

#include <QApplication>
#include <QBuffer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <cstdlib>
#include <map>
#include <string>

#include "report/report_engine.h"
#include "report/row_source.h"
#include "report/template_parser.h"

namespace lorvex::report::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "report_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

inline ReportTemplate TemplateFrom(const QString& xml, const QString& name = "test.rpt") {
    QByteArray bytes = xml.toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return ParseTemplate(buffer, name);
}

// Rows from memory, per table name; counts the reads.
class MemoryRows final : public RowSource {
  public:
    std::map<std::string, TableData> tables;
    int reads = 0;
    TableData ReadTable(const TableLogon& logon, const std::string& table) override {
        ++reads;
        if (logon.server != "Qel")
            throw std::runtime_error("data source not found: " + logon.server);
        const auto it = tables.find(table);
        if (it == tables.end()) throw std::runtime_error("no such table: " + table);
        return it->second;
    }
};

// The text of a PDF as pdftotext gives it, in reading order, exactly as
// the PDF's text map names it.
inline QString PdfText(const QString& pdf, int firstPage = 0, int lastPage = 0) {
    QStringList args{"-layout", "-enc", "UTF-8"};
    if (firstPage > 0) args << "-f" << QString::number(firstPage);
    if (lastPage > 0) args << "-l" << QString::number(lastPage);
    args << pdf << "-";
    QProcess p;
    p.start("pdftotext", args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Text without white space: how far apart pdftotext sets two runs of text
// depends on the glyphs, not on what the page says.
inline QString Squeeze(QString text) {
    text.remove(QRegularExpression("\\s"));
    return text;
}

// Whether the PDF text holds expected, white space aside.
inline bool HasText(const QString& pdfText, const QString& expected) {
    return Squeeze(pdfText).contains(Squeeze(expected));
}

}  // namespace lorvex::report::test
