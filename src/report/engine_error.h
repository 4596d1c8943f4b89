#pragma once

// Failures of the report engine. Every engine call that fails throws an
// EngineError carrying a failure code (HRESULT-style, so that a front end can
// tell the kinds apart and show the code next to the text) and a text for the
// user.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace lorvex::report {

// The failure codes the engine raises.
enum EngineErrorCode : std::uint32_t {
    kErrorInvalidPointer = 0x80004003,      // a call through an absent object
    kErrorFail = 0x80004005,                // unspecified failure
    kErrorInvalidArgument = 0x80070057,     // an argument out of range
    kErrorTemplateNotFound = 0x80070002,    // the template file does not exist
    kErrorTemplateUnreadable = 0x80070005,  // the template file cannot be read
    kErrorBadIndex = 0x8002000B,            // no table with that index
    kErrorTemplateInvalid = 0x8004A001,     // the template is not well formed
    kErrorUnknownParameter = 0x8004A002,    // no parameter field of that name
    kErrorDataSource = 0x8004A003,          // the table rows cannot be read
    kErrorUnknownField = 0x8004A004,        // the template names a column the table lacks
    kErrorOutput = 0x8004A005,              // a PDF or printer cannot be written
};

class EngineError : public std::runtime_error {
  public:
    EngineError(std::uint32_t code, const std::string& text)
        : std::runtime_error(text), m_code(code) {}

    std::uint32_t Code() const { return m_code; }

    // "text (0x80004003)": what a message box shows.
    std::string Describe() const;

  private:
    std::uint32_t m_code;
};

}  // namespace lorvex::report
