#pragma once

// Reading a report template. The reader takes a device, so tests feed it
// templates from memory; errors name the file, line and column.

#include <QString>

#include <stdexcept>
#include <string>

#include "report/report_template.h"

class QIODevice;

namespace lorvex::report {

class TemplateError : public std::runtime_error {
  public:
    TemplateError(const QString& fileName, qint64 line, qint64 column, const QString& message);

    const QString& FileName() const { return m_fileName; }
    qint64 Line() const { return m_line; }
    qint64 Column() const { return m_column; }
    const QString& Message() const { return m_message; }

  private:
    QString m_fileName;
    qint64 m_line;
    qint64 m_column;
    QString m_message;
};

// Parses a whole template; fileName is only used in error texts.
ReportTemplate ParseTemplate(QIODevice& in, const QString& fileName);

// Splits an item text into literals and {param:..}, {field:..}, {page},
// {pages}, {row} placeholders; "{{" and "}}" stand for braces. Throws
// std::invalid_argument with a message on a malformed placeholder.
std::vector<TextSegment> ParseItemText(const QString& text);

}  // namespace lorvex::report
