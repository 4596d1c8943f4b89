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

// The text of a PDF as pdftotext gives it, in reading order. Compatibility
// forms are folded (NFKC): the CJK fonts share one glyph between an
// ideograph and its radical (二 and ⼆, 页 and ⻚), and the PDF's text map
// names the radical.
inline QString PdfText(const QString& pdf, int firstPage = 0, int lastPage = 0) {
    QStringList args{"-layout", "-enc", "UTF-8"};
    if (firstPage > 0) args << "-f" << QString::number(firstPage);
    if (lastPage > 0) args << "-l" << QString::number(lastPage);
    args << pdf << "-";
    QProcess p;
    p.start("pdftotext", args);
    p.waitForFinished(60000);
    QString text =
        QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    // The simplified radicals (U+2E80 block) have no compatibility form to fold.
    static const std::pair<char16_t, char16_t> kRadicals[] = {
        {u'\u2EC5', u'见'}, {u'\u2EC9', u'贝'}, {u'\u2ECB', u'车'}, {u'\u2ED3', u'长'},
        {u'\u2ED4', u'门'}, {u'\u2EDA', u'页'}, {u'\u2EDB', u'风'}, {u'\u2EE2', u'马'},
        {u'\u2EE5', u'鱼'}, {u'\u2EE6', u'鸟'}, {u'\u2EE9', u'黄'}, {u'\u2EEC', u'齐'},
    };
    for (const auto& [radical, ideograph] : kRadicals)
        text.replace(QChar(radical), QChar(ideograph));
    return text;
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
