#pragma once
// Filters that turn free text, in practice the locale's date and time, into text safe for file
// names, CSV fields and web addresses. Each walks the text one character at a time (a surrogate
// pair is one character) and keeps only plain ASCII characters of its class.
//
// numstring, dString, CString and eString throw overflow_error for a text of 32767 characters
// or more; swapstring takes any length. The std::string versions work in place on UTF-8 text
// and leave it unchanged when they throw.

#include <QString>
#include <string>

#include "common/numbers.h"

namespace brevane {

// Keeps digits and ".", drops everything else.
QString numstring(const QString& text);
// Keeps blank, A-Z, a-z and 0-9; every other character becomes "_".
QString swapstring(const QString& text);
// Keeps blank, A-Z, a-z and 0-9; drops everything else.
QString dString(const QString& text);
// Keeps A-Z, a-z and 0-9; a blank becomes "%20", everything else is dropped.
QString CString(const QString& text);
// Keeps a-z, 0-9 and "?"; drops everything else, upper-case letters too.
QString eString(const QString& text);

void numstring(std::string& tem);
void swapstring(std::string& tem);
void dString(std::string& tem);
void CString(std::string& tem);
void eString(std::string& tem);

}  // namespace brevane
